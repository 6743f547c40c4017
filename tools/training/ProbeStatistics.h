// The probe statistics of the selective searches: how well a shallow search predicts a deep one
// (.npc, per disc count and depth pair) and the exact endgame score (.ecc, per empty count and
// shallow depth). Each record is a weighted linear regression deep ~ Slope * shallow + Offset in
// discs with the residual spread Sigma, the weights a Gaussian kernel over neighbouring disc or
// empty counts so that every record rests on many positions.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engines/OthelloPatternEngine.h"
#include "evaluation/Patterns.h"

namespace morvane::training {

struct TLineFit {
  double Slope = 0, Offset = 0, Sigma = 0;
  double Weight = 0;  // total weight of the points
};

// Weighted least squares of y on x. Sigma is the weighted root mean square residual. A fit with
// fewer than three points or no spread in x comes back with Weight 0 and Slope 0.
TLineFit FitLine(std::span<const double> x, std::span<const double> y, std::span<const double> w);

// Search values of one position at the depths 0..MaxDepth, in discs.
struct TDepthSample {
  int Discs = 0;
  std::vector<float> Values;
};

// The values of full-window searches without probability cuts at depths 0..maxDepth of the
// position loaded in the engine.
TDepthSample MeasureDepths(TOthelloPatternEngine& engine, int maxDepth);

// The .npc table from the samples: every record (discs, deep, shallow) with
// 0 <= shallow < deep <= maxDepth and 4 <= discs <= maxDiscs (the board's playable squares);
// others stay zero (the reader completes the deeper ones from the reference depth). `bandwidth`
// in discs.
std::vector<TNpcRecord> FitNpcTable(std::span<const TDepthSample> samples, int maxDepth,
                                    double bandwidth, int maxDiscs = 64);

// Exact score and the shallow search values at depths 0..8 of one endgame position.
struct TEndSample {
  int Empties = 0;
  float Exact = 0;
  float Shallow[TEvaluation::EccShallowDepths] = {};
};

// Fills every record of the .ecc table (5..18 empties, shallow depths 0..8) from the samples;
// `bandwidth` in empty squares.
void FitEccTable(std::span<const TEndSample> samples, double bandwidth, TEccRecord (&table)[14][9]);

}  // namespace morvane::training
