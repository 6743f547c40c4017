#include "engines/DiscCountEngine.h"

#include <cstring>

#include "evaluation/Patterns.h"

namespace morvane {

TDiscCountEngine::TDiscCountEngine(double hashSizeBits, TBoardKind kind)
    : TOthelloEngine("DiscCount", hashSizeBits, BoardSideOf(kind)), Kind(kind) {
  if (kind == TBoardKind::Octagon) BlockedCount = 12;
  // The searches read their parameters from an evaluation; this one has no patterns.
  Evaluation = std::make_unique<TEvaluation>("DiscCount", nullptr);
}

TDiscCountEngine::~TDiscCountEngine() = default;

void TDiscCountEngine::SetPosition(const int8_t* board, int side) {
  if (Kind != TBoardKind::Octagon) return TOthelloEngine::SetPosition(board, side);
  int8_t blocked[MaxCells];
  std::memcpy(blocked, board, MaxCells);
  BlockOctagonCorners(blocked);
  TOthelloEngine::SetPosition(blocked, side);
}

}  // namespace morvane
