// The value of every legal move of a position, as the hints, the analysis and the engine
// protocol show them: each move's position is searched on its own, one level shallower, and
// its score negated. The searches run on the caller's engine, on this thread; a stop request
// (RequestStop, or set from the event pump) ends the run with what it has.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/OthelloEngine.h"
#include "engine/Position.h"
#include "engine/SearchInfo.h"

namespace morvane {

// A position's value from its side to move's view.
struct TPositionValue {
  int32_t Score = 0;  // millionths of a disc; whole discs times DiscUnit when exact
  int BestSquare = PassMove;
  bool Exact = false;    // solved to the end, or a finished game's final margin
  bool Stopped = false;  // the search was stopped; the score means nothing
  int64_t Nodes = 0;
};

// The fixed-level search of a position, played through a pass as the game goes on: a side
// without a move passes and the opponent's value is negated; a finished game scores its final
// margin (empties to the winner). Exact when the position has at most level.ExactEmpties
// empties.
TPositionValue SearchPosition(TOthelloEngine& engine, const TPosition& position,
                              const TFixedSearchInfo& level);

struct TMoveValue {
  int Square = PassMove;  // PassMove: the pass of a side that has no move
  int32_t Score = 0;      // millionths of a disc, from the mover's view
  bool Exact = false;
  int64_t Nodes = 0;  // searched for this value (0 when an earlier depth's exact one was kept)
  double Discs() const { return static_cast<double>(Score) / DiscUnit; }
};

// A score in millionths of a disc as discs with two decimals ("-1.50"; never "-0.00").
std::string ValueText(int32_t score);

struct TMoveValues {
  std::vector<TMoveValue> Moves;  // best first; equal values in square order
  int Depth = 0;                  // the midgame depth of the values
  bool Complete = true;           // false: stopped before every move was valued at full depth
};

struct TMoveValueHooks {
  // After each move valued: the value, its number (from 1) and the number of moves.
  std::function<void(const TMoveValue& value, int index, int count)> Valued;
  // Iterative runs: after each depth whose moves were all valued.
  std::function<void(const TMoveValues& values)> DepthDone;
};

// The values of the moves of `position` at `level` (depth D, exact from E empties): every move's
// position searched at depth D - 1 with the same exact empties. A finished position has no
// move; one whose side to move must pass has the pass.
TMoveValues ValueMoves(TOthelloEngine& engine, const TPosition& position,
                       const TFixedSearchInfo& level, const TMoveValueHooks& hooks = {});

// ValueMoves at depth 1, 2, ... up to level.Depth, each depth reported through DepthDone; exact
// values are kept from the first depth on. Returns the deepest complete depth's values, or when
// stopped during the first depth what it had.
TMoveValues ValueMovesIteratively(TOthelloEngine& engine, const TPosition& position,
                                  const TFixedSearchInfo& level, const TMoveValueHooks& hooks = {});

}  // namespace morvane
