// Games between two engines from the same random openings, each opening played twice with the
// colours exchanged, so that an opening's bias cancels in the pair.
#pragma once

#include <cstdint>
#include <vector>

#include "engines/OthelloPatternEngine.h"
#include "training/GameArchive.h"

namespace morvane::training {

// `count` random legal moves from the start position, drawn by std::mt19937 from `seed`, as bit
// numbers. A side without a move passes; the opening stops early if the game ends.
std::vector<int> RandomOpening(uint32_t seed, int count);

// What one side's searches cost in a game: the processor time of the searching thread (helpers
// not counted) and the nodes the engine reports.
struct TSearchCost {
  int Searches = 0;
  double Seconds = 0;
  int64_t Nodes = 0;
  TSearchCost& operator+=(const TSearchCost& other) {
    Searches += other.Searches;
    Seconds += other.Seconds;
    Nodes += other.Nodes;
    return *this;
  }
};

struct TMatchGame {
  int BlackDiff = 0;  // final margin for black, empties to the winner
  std::vector<int> Moves;
  TSearchCost Black, White;
};

// Plays the opening, then lets `black` and `white` search at their levels until neither side
// can move. Throws std::runtime_error if an engine answers with an illegal move.
TMatchGame PlayMatchGame(TOthelloPatternEngine& black, const TFixedSearchInfo& blackLevel,
                         TOthelloPatternEngine& white, const TFixedSearchInfo& whiteLevel,
                         const std::vector<int>& opening);

// Points of one game for the first engine: 1 win, 0.5 draw, 0 loss.
inline double Points(int diffForFirst) {
  return diffForFirst > 0 ? 1.0 : diffForFirst == 0 ? 0.5 : 0.0;
}

struct TMatchSummary {
  int Games = 0;
  double Score = 0;        // the first engine's share of the points
  double ScoreMargin = 0;  // half-width of the 95% interval of Score
  double MeanDiff = 0;     // mean disc margin for the first engine
  double DiffMargin = 0;
};

// Summary of the first engine's results (disc margins from its point of view). The intervals
// treat each pair of games of one opening as one observation, since the two are not independent.
TMatchSummary Summarise(const std::vector<int>& diffsForFirst);

}  // namespace morvane::training
