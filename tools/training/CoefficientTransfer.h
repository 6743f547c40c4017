// A starting evaluation for the 10-wide set-ups from the trained 8 x 8 tables ("Bot8x8"): a
// pattern that has a counterpart there (corner blocks, edges and rows, diagonals) reads the
// counterpart's entry for its configuration, with squares of a longer line dropped from its
// middle, and the stage of the same share of the board filled. Values are scaled by the ratio of
// the boards' squares, since final margins grow with the board.
#pragma once

#include <string>
#include <vector>

#include "evaluation/Patterns.h"

namespace morvane::training {

struct TPatternTransfer {
  int Source = -1;  // pattern of the 8 x 8 set-up; -1: left at zero
  // Per square of the target pattern, its digit in the source pattern (-1: dropped).
  std::vector<int> SourceDigit;
  double Weight = 1.0;
};

// The counterparts of "Bot10x10" or "Bot8x8Oct", one per pattern in list order.
std::vector<TPatternTransfer> TransferPlan(const std::string& name);

// Keeps the first and last halves of an n-square line read as an m-square line (m <= n).
std::vector<int> DropMiddle(int n, int m);
// An n-square line read as the ends of an m-square line (m >= n); the middle is averaged.
std::vector<int> SpreadEnds(int n, int m);

// Fills the target's coefficient arrays from the source's (both loaded, not converted) and
// returns the Bias terms in discs for 0..targetSquares discs.
std::vector<float> TransferCoefficients(const TEvaluation& source, int sourceSquares,
                                        TEvaluation& target, int targetSquares,
                                        const std::vector<TPatternTransfer>& plan);

}  // namespace morvane::training
