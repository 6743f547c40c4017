#include "training/ProbeStatistics.h"

#include <algorithm>
#include <cmath>

namespace morvane::training {

namespace {

double Kernel(double distance, double bandwidth) {
  return std::exp(-0.5 * distance * distance / (bandwidth * bandwidth));
}

// Points whose weight is this small do not count toward the minimum number of points.
constexpr double NegligibleWeight = 1e-3;

}  // namespace

TLineFit FitLine(std::span<const double> x, std::span<const double> y, std::span<const double> w) {
  double sw = 0, sx = 0, sy = 0;
  int points = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    sw += w[i];
    sx += w[i] * x[i];
    sy += w[i] * y[i];
    points += w[i] > NegligibleWeight;
  }
  TLineFit fit;
  if (points < 3 || sw <= 0) return fit;
  const double mx = sx / sw, my = sy / sw;
  double sxx = 0, sxy = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    sxx += w[i] * (x[i] - mx) * (x[i] - mx);
    sxy += w[i] * (x[i] - mx) * (y[i] - my);
  }
  if (sxx <= 1e-12 * sw) return fit;
  fit.Slope = sxy / sxx;
  fit.Offset = my - fit.Slope * mx;
  double residual = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    const double r = y[i] - fit.Slope * x[i] - fit.Offset;
    residual += w[i] * r * r;
  }
  fit.Sigma = std::sqrt(residual / sw);
  fit.Weight = sw;
  return fit;
}

TDepthSample MeasureDepths(TOthelloPatternEngine& engine, int maxDepth) {
  TDepthSample sample;
  sample.Discs = engine.OwnDiscs + engine.OppDiscs;
  engine.StopRequested = false;
  engine.TimedSearch = false;
  for (int depth = 0; depth <= maxDepth; ++depth) {
    int32_t margin = Infinity;
    const int32_t value = engine.PVSearch(-Infinity, Infinity, depth, false, false, margin);
    sample.Values.push_back(static_cast<float>(static_cast<double>(value) / DiscUnit));
  }
  return sample;
}

std::vector<TNpcRecord> FitNpcTable(std::span<const TDepthSample> samples, int maxDepth,
                                    double bandwidth, int maxDiscs) {
  std::vector<TNpcRecord> table(
      static_cast<size_t>(TEvaluation::NpcDiscs) * TEvaluation::NpcDepths * TEvaluation::NpcDepths,
      TNpcRecord{0, 0, 0});
  const size_t count = samples.size();
  std::vector<double> x(count), y(count), w(count);
  for (int discs = 4; discs <= std::min(maxDiscs, TEvaluation::NpcDiscs); ++discs) {
    for (size_t i = 0; i < count; ++i) w[i] = Kernel(samples[i].Discs - discs, bandwidth);
    for (int deep = 1; deep <= maxDepth && deep < TEvaluation::NpcDepths; ++deep) {
      for (int shallow = 0; shallow < deep; ++shallow) {
        for (size_t i = 0; i < count; ++i) {
          const auto& values = samples[i].Values;
          const bool has = static_cast<int>(values.size()) > deep;
          x[i] = has ? values[shallow] : 0.0;
          y[i] = has ? values[deep] : 0.0;
          if (!has) w[i] = 0;
        }
        const TLineFit fit = FitLine(x, y, w);
        // A record the search could not use (no data, a vanishing spread) stays missing.
        if (fit.Weight <= 0 || fit.Sigma < 1e-6) continue;
        const size_t slot = (static_cast<size_t>(discs - 1) * TEvaluation::NpcDepths + deep) *
                                TEvaluation::NpcDepths +
                            shallow;
        table[slot] = TNpcRecord{fit.Slope, fit.Offset, fit.Sigma};
      }
    }
  }
  return table;
}

void FitEccTable(std::span<const TEndSample> samples, double bandwidth,
                 TEccRecord (&table)[14][9]) {
  const size_t count = samples.size();
  std::vector<double> x(count), y(count), w(count);
  for (int empties = TEvaluation::EccFirstEmpties; empties <= TEvaluation::EccLastEmpties;
       ++empties) {
    for (size_t i = 0; i < count; ++i) {
      w[i] = Kernel(samples[i].Empties - empties, bandwidth);
      y[i] = samples[i].Exact;
    }
    for (int shallow = 0; shallow < TEvaluation::EccShallowDepths; ++shallow) {
      for (size_t i = 0; i < count; ++i) x[i] = samples[i].Shallow[shallow];
      const TLineFit fit = FitLine(x, y, w);
      TEccRecord& record = table[empties - TEvaluation::EccFirstEmpties][shallow];
      record = (fit.Weight > 0 && fit.Sigma >= 1e-6)
                   ? TEccRecord{fit.Slope, fit.Offset, fit.Sigma, 0.0}
                   : TEccRecord{0.0, 0.0, 0.0, 0.0};
    }
  }
}

}  // namespace morvane::training
