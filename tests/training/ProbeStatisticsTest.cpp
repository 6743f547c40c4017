#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engines/EngineFactory.h"
#include "evaluation/EvaluationTestSupport.h"
#include "training/ExactLabels.h"
#include "training/ProbeStatistics.h"
#include "training/TrainingTestSupport.h"

namespace morvane::training {
namespace {

// y = 2x + 1 with residuals of exactly +-0.5 that do not correlate with x: the fit finds the
// line and a spread of 0.5.
TEST(ProbeStatistics, FitLineRecoversALineAndItsSpread) {
  std::vector<double> x, y, w;
  for (int i = -10; i <= 10; ++i)
    for (const double noise : {-0.5, 0.5}) {
      x.push_back(i);
      y.push_back(2.0 * i + 1.0 + noise);
      w.push_back(1.0);
    }
  const TLineFit fit = FitLine(x, y, w);
  EXPECT_NEAR(fit.Slope, 2.0, 1e-12);
  EXPECT_NEAR(fit.Offset, 1.0, 1e-12);
  EXPECT_NEAR(fit.Sigma, 0.5, 1e-12);
  EXPECT_DOUBLE_EQ(fit.Weight, 42.0);
}

TEST(ProbeStatistics, FitLineWeighsItsPoints) {
  // Two lines; the second has all but no weight.
  std::vector<double> x, y, w;
  for (int i = 0; i < 20; ++i) {
    x.push_back(i), y.push_back(3.0 * i - 2.0), w.push_back(1.0);
    x.push_back(i), y.push_back(-5.0 * i), w.push_back(1e-9);
  }
  const TLineFit fit = FitLine(x, y, w);
  EXPECT_NEAR(fit.Slope, 3.0, 1e-6);
  EXPECT_NEAR(fit.Offset, -2.0, 1e-6);
}

TEST(ProbeStatistics, TooFewPointsOrNoSpreadGiveNoFit) {
  const double two[] = {1, 2}, ones[] = {1, 1};
  EXPECT_EQ(FitLine(two, two, ones).Weight, 0.0);
  const double same[] = {3, 3, 3, 3}, y[] = {1, 2, 3, 4}, w[] = {1, 1, 1, 1};
  const TLineFit flat = FitLine(same, y, w);
  EXPECT_EQ(flat.Weight, 0.0);
  EXPECT_EQ(flat.Slope, 0.0);
}

// Samples whose deep values follow known lines per depth pair; every record of the table must
// carry that line, at every disc count.
TEST(ProbeStatistics, TheNpcTableCarriesTheLinesOfItsSamples) {
  constexpr int MaxDepth = 6;
  std::mt19937 rng(12);
  std::uniform_real_distribution<double> shallowValue(-20, 20);
  std::vector<TDepthSample> samples;
  for (int i = 0; i < 400; ++i) {
    TDepthSample sample;
    sample.Discs = 10 + i % 50;
    const double base = shallowValue(rng);
    // Value at depth d: base * (1 + d / 10) + d, so that deep = slope * shallow + offset exactly
    // with slope (10 + deep) / (10 + shallow).
    for (int depth = 0; depth <= MaxDepth; ++depth)
      sample.Values.push_back(static_cast<float>(base * (1 + depth / 10.0) + depth));
    samples.push_back(sample);
  }
  const auto table = FitNpcTable(samples, MaxDepth, 3.0);
  auto at = [&](int discs, int deep, int shallow) {
    return table[(static_cast<size_t>(discs - 1) * 26 + deep) * 26 + shallow];
  };
  for (int discs = 4; discs <= 64; discs += 5) {
    for (int deep = 1; deep <= MaxDepth; ++deep)
      for (int shallow = 0; shallow < deep; ++shallow) {
        const double slope = (10.0 + deep) / (10.0 + shallow);
        const double offset = deep - slope * shallow;
        const TNpcRecord record = at(discs, deep, shallow);
        // A perfect line has no spread; the record is left for the fallback then.
        if (record.Slope == 0) continue;
        EXPECT_NEAR(record.Slope, slope, 1e-4) << discs << " " << deep << "/" << shallow;
        EXPECT_NEAR(record.Offset, offset, 1e-3);
      }
    EXPECT_EQ(at(discs, 3, 3).Slope, 0.0);
    EXPECT_EQ(at(discs, MaxDepth + 1, 0).Slope, 0.0);
  }
}

TEST(ProbeStatistics, SpreadGrowsWithTheNoiseOfTheDeepValues) {
  std::mt19937 rng(13);
  std::normal_distribution<double> noise(0.0, 1.0);
  std::uniform_real_distribution<double> shallowValue(-20, 20);
  std::vector<TDepthSample> samples;
  for (int i = 0; i < 3000; ++i) {
    TDepthSample sample;
    sample.Discs = 30;
    const double shallow = shallowValue(rng);
    sample.Values = {static_cast<float>(shallow),
                     static_cast<float>(0.9 * shallow + 0.5 + 2.0 * noise(rng))};
    samples.push_back(sample);
  }
  const auto table = FitNpcTable(samples, 1, 3.0);
  const TNpcRecord record = table[(static_cast<size_t>(30 - 1) * 26 + 1) * 26 + 0];
  EXPECT_NEAR(record.Slope, 0.9, 0.02);
  EXPECT_NEAR(record.Offset, 0.5, 0.15);
  EXPECT_NEAR(record.Sigma, 2.0, 0.1);
}

TEST(ProbeStatistics, TheEccTableFillsEveryEmptyCountAndDepth) {
  std::vector<TEndSample> samples;
  std::mt19937 rng(14);
  std::uniform_real_distribution<double> value(-30, 30);
  for (int i = 0; i < 700; ++i) {
    TEndSample sample;
    sample.Empties = 5 + i % 14;
    sample.Exact = static_cast<float>(value(rng));
    for (int s = 0; s < 9; ++s)
      sample.Shallow[s] =
          static_cast<float>((sample.Exact - s) / (1.0 + 0.1 * s) + ((i / 14) % 2 ? 0.25 : -0.25));
    samples.push_back(sample);
  }
  TEccRecord table[14][9] = {};
  FitEccTable(samples, 1.0, table);
  for (int e = 0; e < 14; ++e)
    for (int s = 0; s < 9; ++s) {
      // exact = (1 + 0.1 s) * shallow + s, up to the +-0.25 that does not depend on it
      EXPECT_NEAR(table[e][s].Slope, 1.0 + 0.1 * s, 0.01) << e + 5 << " " << s;
      EXPECT_NEAR(table[e][s].Offset, s, 0.05);
      // The +-0.25 of the shallow value, seen through the slope.
      EXPECT_NEAR(table[e][s].Sigma, 0.25 * (1.0 + 0.1 * s), 0.02);
    }
}

// Near the end a search deep enough to reach the last move is the exact score; the measured
// values at those depths must be it.
TEST(ProbeStatistics, DeepEnoughSearchesMeasureTheExactScore) {
  testing_support::TTempFolder folder("depths");
  const auto setup = CreateEvaluation("Pellin", nullptr, folder.Path, false);
  WriteCoefficientFile(*setup, setup->FilePath(".coe"), 77u);
  auto engine = CreateEngineFor("Pellin", 16, nullptr, folder.Path);
  std::mt19937 rng(15);
  for (int i = 0; i < 20; ++i) {
    const auto board = reference::RandomPosition(reference::TReferenceBoard(8), 5, rng);
    uint64_t own, opp;
    testing_support::ToBitboards(board, own, opp);
    LoadPosition(*engine, own, opp, board.ToMove);
    const TDepthSample sample = MeasureDepths(*engine, 8);
    ASSERT_EQ(sample.Values.size(), 9u);
    EXPECT_EQ(sample.Discs, 59);
    // Five plies fill the board and a sixth finds that nobody can move (a pass uses up no
    // depth), which scores the final margin; at five the full board is only evaluated.
    for (int depth = 6; depth <= 8; ++depth)
      EXPECT_FLOAT_EQ(sample.Values[depth], static_cast<float>(board.Solve())) << depth;
  }
}

}  // namespace
}  // namespace morvane::training
