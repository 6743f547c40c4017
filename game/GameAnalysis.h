// The analysis of a played game: every move's value beside the best move's, and what each side
// lost by its choices. The window's evaluation chart and `morvane-cli analyze` read it.
//
// How a ply is valued (the cost was measured, see BENCHMARKS.md "Game analysis"): one root
// search of the position at the level's depth D picks the best move; the played move and the
// best move are then both valued as the hints value a move, by searching the move's position at
// D - 1. The second child search mostly finds the root search's own table entries. Valuing
// every move instead (ValueMoves) costs a search per legal move. A position whose every move
// leads into the exact part (at most E + 1 empties) is solved at the root, so that in the exact
// part the best value is the true maximum and both values are exact.
//
// The positions are searched from the last to the first, so that the transposition table holds
// the later positions' subtrees when the earlier ones are searched.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "engine/OthelloEngine.h"
#include "engine/SearchInfo.h"
#include "game/Game.h"

namespace morvane {

struct TPlyAnalysis {
  bool Done = false;  // false: the analysis stopped before it reached this ply
  TColour Mover = TColour::Black;
  int Played = PassMove;
  int32_t PlayedValue = 0;  // millionths of a disc, from the mover's view
  int Best = PassMove;
  int32_t BestValue = 0;
  int32_t Loss = 0;    // BestValue - PlayedValue, never below 0; 0 for a pass
  bool Exact = false;  // both values solved to the end of the game
  int64_t Nodes = 0;
};

struct TColourSummary {
  int64_t Loss = 0;  // millionths of a disc, summed over the colour's analysed moves
  // Moves that lost more than 2, 4 and 8 discs; a move over 8 counts in all three.
  int MistakesOver2 = 0;
  int MistakesOver4 = 0;
  int MistakesOver8 = 0;
};

struct TGameAnalysis {
  std::vector<TPlyAnalysis> Plies;  // one per ply of the game, passes included
  bool Complete = true;             // false: stopped; the analysed plies are a final run
  int64_t Nodes = 0;

  // The first analysed ply (Plies.size() when none was).
  int FirstDone() const;
  // Summary of the analysed moves of one colour.
  TColourSummary Summary(TColour colour) const;
  // The evaluation for black before each ply and after the last (ply 0 .. n), where known:
  // the mover's best value at each analysed ply, the final ply's played value for the end.
  std::vector<std::optional<double>> BlackCurve() const;
};

// Called after each analysed ply with the ply's number (from 0), how many plies are done and
// the ply count. A stop may be requested from here (engine.RequestStop()).
using TAnalysisProgress =
    std::function<void(int ply, const TPlyAnalysis& analysis, int done, int total)>;

// Analyses `game` on the caller's engine at `level` (depth D, exact from E empties). A stop
// request (RequestStop, or set from the event pump inside a search) ends the run; the plies it
// finished stay, the unfinished are left not Done.
TGameAnalysis AnalyseGame(TOthelloEngine& engine, const TGame& game, const TFixedSearchInfo& level,
                          const TAnalysisProgress& progress = {});

}  // namespace morvane
