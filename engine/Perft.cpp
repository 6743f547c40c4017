#include "engine/Perft.h"

namespace morvane {

namespace {

int64_t PerftNode(TOthelloEngine& engine, int depth, bool passed) {
  TMoveList list;
  engine.GenerateMovesHashed(list);
  const MoveRecord* move = list[0].Next;
  if (!move) {
    if (passed) return 1;  // neither side can move: the game is over
    // At the last ply the pass is a leaf, and so is the end of the game.
    if (depth == 1) return 1;
    engine.MakePass();
    const int64_t count = PerftNode(engine, depth - 1, true);
    engine.MakePass();
    return count;
  }
  if (depth == 1) {
    int64_t count = 0;
    for (; move; move = move->Next) ++count;
    return count;
  }
  int64_t count = 0;
  for (; move; move = move->Next) {
    engine.MakeMove(*move);
    engine.SwapSides();
    count += PerftNode(engine, depth - 1, false);
    engine.SwapSides();
    engine.UnmakeMove(*move);
  }
  return count;
}

}  // namespace

int64_t Perft(TOthelloEngine& engine, int depth) {
  if (depth <= 0) return 1;
  return PerftNode(engine, depth, false);
}

}  // namespace morvane
