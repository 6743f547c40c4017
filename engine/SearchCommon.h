// Small pieces that the midgame and endgame searches share: table bounds, the exact-score test
// and the probe statistics of the probability cuts.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "engine/HashTable.h"
#include "engine/OthelloEngine.h"
#include "engine/SearchInfo.h"

namespace morvane::search {

// A score within a thousandth of a disc of a whole number came from a solved position.
inline bool IsExactScore(int32_t score) {
  const int32_t rest = std::abs(score % DiscUnit);
  return rest <= 1000 || rest >= DiscUnit - 1000;
}

// An entry's score in millionths of a disc. Endgame scores are whole discs; the clamp only
// matters for a colliding entry, whose score must not overflow.
inline int32_t MidgameScore(const THashEntry& entry) {
  const int32_t score = entry.Score;  // a packed field: no reference may bind to it
  return entry.IsEndgame ? std::clamp(score, -1000, 1000) * DiscUnit : score;
}

// Narrows the window with a stored bound. True when the bound alone decides the node; the score
// is then the answer.
inline bool NarrowWindow(const THashEntry& entry, int32_t score, int32_t& alpha, int32_t& beta) {
  if (entry.IsUpperBound && score < beta) {
    beta = score;
    if (alpha >= score) return true;
  }
  if (entry.IsLowerBound && score > alpha) {
    alpha = score;
    if (score >= beta) return true;
  }
  return false;
}

// The shallow depth that predicts a search of n plies (or n empties): 4 and 6 give 2, 5 and 7
// give 3, 8 gives 4.
constexpr int ProbeDepthFor(int n) { return 2 * (n / 8) + n % 2 + 2; }

// deep ~ Slope x shallow + Offset (discs), with standard deviation Sigma (discs).
struct TProbeStatistic {
  double Slope, Offset, Sigma;
};

// A prediction can be inverted only with a positive, sane slope and a real spread; NaN fails too.
inline bool IsUsable(const TProbeStatistic& s) {
  return s.Slope >= 1e-12 && s.Slope <= 3 && s.Sigma > 0;
}

// The twelve coefficients: constants, per empty square, per deep depth, per shallow depth, each
// group in the order slope, offset, sigma.
inline TProbeStatistic FromFit(const double* fit, double empties, double deep, double shallow) {
  auto value = [&](int k) {
    return fit[k] + empties * fit[3 + k] + deep * fit[6 + k] + shallow * fit[9 + k];
  };
  return {value(0), value(1), value(2)};
}

inline int32_t RoundToScore(double value) {
  if (!(value > -Infinity)) return -Infinity;
  if (value >= Infinity) return Infinity;
  return static_cast<int32_t>(std::llround(value));
}

// The shallow-search bounds that predict, with z standard deviations of margin, a deep score at
// least beta or at most alpha (both in millionths of a disc).
inline TMpcBounds ProbeBounds(const TProbeStatistic& s, double z, double alpha, double beta) {
  TMpcBounds bounds;
  if (!IsUsable(s)) return bounds;
  const double margin = z * s.Sigma * DiscUnit;
  const double offset = s.Offset * DiscUnit;
  bounds.BetaBound = RoundToScore((beta + margin - offset) / s.Slope);
  bounds.AlphaBound = RoundToScore((alpha - margin - offset) / s.Slope);
  // Infinity would read as "no cut taken".
  bounds.Margin = std::min(RoundToScore(margin), Infinity - 1);
  bounds.Usable = true;
  return bounds;
}

}  // namespace morvane::search
