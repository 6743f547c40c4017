// The shallow searches that order moves and make the probability cut's probes: no table, no
// move list, the static evaluation at the leaves. They are templates over the engine class, so
// that an engine whose move rules are final runs them without a virtual call per square, and
// may offer a cheaper way to find the moves and their flips than probing every empty square
// (`LegalMoves`).
#pragma once

#include <cstdint>

#include "engine/OthelloEngine.h"

namespace morvane::search {

// One ply: every reply is evaluated statically.
template <class Engine>
int32_t LeafSearchOf(Engine& engine, int32_t alpha, int32_t beta, bool passed) {
  MoveRecord move;
  // Nothing below probes the table, so the hash may stay as it is.
  move.HashDeltaLo = move.HashDeltaHi = 0;
  int32_t best = -Infinity;
  const auto moves = engine.LegalMoves();
  for (const TEmptyNode* node = engine.EmptyHead.Next; node->Square; node = node->Next) {
    if (moves.Probe(node->Square, move) == 0) continue;
    engine.MakeMoveLight(move);
    engine.SwapSides();
    ++engine.NodeCount;
    const int32_t value = -engine.Evaluate();
    engine.SwapSides();
    engine.UnmakeMoveLight(move);
    if (value > best) {
      best = value;
      if (value >= beta) return value;
      if (value > alpha) alpha = value;
    }
  }
  if (best > -Infinity) return best;
  if (passed) return engine.FinalMargin() * DiscUnit;
  engine.SwapSides();
  const int32_t value = -LeafSearchOf(engine, -beta, -alpha, true);
  engine.SwapSides();
  return value;
}

template <class Engine>
int32_t ShallowSearchOf(Engine& engine, int32_t alpha, int32_t beta, int depth, bool passed) {
  if (depth <= 0) {
    ++engine.NodeCount;
    return engine.Evaluate();
  }
  if (depth == 1) return LeafSearchOf(engine, alpha, beta, passed);
  ++engine.NodeCount;
  MoveRecord move;
  move.HashDeltaLo = move.HashDeltaHi = 0;
  int32_t best = -Infinity;
  const auto moves = engine.LegalMoves();
  for (const TEmptyNode* node = engine.EmptyHead.Next; node->Square; node = node->Next) {
    if (moves.Probe(node->Square, move) == 0) continue;
    engine.MakeMove(move);
    engine.SwapSides();
    int32_t value;
    if (best == -Infinity) {
      value = -ShallowSearchOf(engine, -beta, -alpha, depth - 1, false);
    } else {
      value = -ShallowSearchOf(engine, -alpha - 1, -alpha, depth - 1, false);
      if (alpha < value && value < beta)
        value = -ShallowSearchOf(engine, -beta, -value, depth - 1, false);
    }
    engine.SwapSides();
    engine.UnmakeMove(move);
    if (value > best) {
      best = value;
      if (value >= beta) return value;
      if (value > alpha) alpha = value;
    }
  }
  if (best > -Infinity) return best;
  if (passed) return engine.FinalMargin() * DiscUnit;
  engine.SwapSides();
  const int32_t value = -ShallowSearchOf(engine, -beta, -alpha, depth, true);
  engine.SwapSides();
  return value;
}

}  // namespace morvane::search
