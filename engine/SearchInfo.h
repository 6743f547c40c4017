// Level records handed from the window through the game record to the search, and the score
// units every search shares.
#pragma once

#include <cstdint>
#include <vector>

namespace morvane {

// Midgame scores are in millionths of a disc; the exact solver counts whole discs.
constexpr int32_t DiscUnit = 1'000'000;
constexpr int32_t Infinity = 2'000'000'000;

// A selective endgame set-up: at exactly `Empties` empty squares the fixed-level search runs the
// selective endgame with these probability steps.
struct TSelSolveInfo {
  int32_t Empties = 0;
  std::vector<double> Probabilities;
};

// A playing level: midgame depth and the number of empties solved exactly.
struct TFixedSearchInfo {
  int32_t Depth = 0;
  int32_t ExactEmpties = 0;
  int32_t SelSolveCount = 0;
  TSelSolveInfo SelSolves[20];
};

}  // namespace morvane
