#include "engines/OthelloOctPatternEngine.h"

#include <cstring>
#include <utility>

#include "engine/BoardKind.h"

namespace morvane {

TOthelloOctPatternEngine::TOthelloOctPatternEngine(std::string name, double hashSizeBits,
                                                   std::unique_ptr<TEvaluation> evaluation)
    : TOthelloPatternEngine(std::move(name), hashSizeBits, 10,
                            fixed_layout::RequireLayout<TLayout>(std::move(evaluation), "octagon",
                                                           StageCount, MostEntries)) {
  // Before any position: final scores and the stage rule count 88 playable squares.
  BlockedCount = CutCells;
}

TOthelloOctPatternEngine::~TOthelloOctPatternEngine() = default;

void TOthelloOctPatternEngine::BuildEmptyList() {
  ResetEmptyList();
  for (const int square : SquareOrder)
    if (Board[square] == EmptyCell) AppendEmpty(square);
}

int TOthelloOctPatternEngine::ProbeMove(int square, MoveRecord& record) {
  return grid10::Probe(Board, square, SideToMove, OpponentColour, record);
}

int32_t TOthelloOctPatternEngine::Evaluate() {
  return fixed_layout::Score<TLayout, StageCount, StageWidth>(*this, BiasTable);
}

void TOthelloOctPatternEngine::MakeMoveLight(const MoveRecord& record) {
  grid10::MakeLight<FewestEntries, MostEntries>(*this, record);
}

void TOthelloOctPatternEngine::UnmakeMoveLight(const MoveRecord& record) {
  grid10::UnmakeLight<FewestEntries, MostEntries>(*this, record);
}

void TOthelloOctPatternEngine::SetPosition(const int8_t* board, int side) {
  int8_t image[MaxCells];
  std::memcpy(image, board, MaxCells);
  BlockOctagonCorners(image);
  TOthelloPatternEngine::SetPosition(image, side);
}

}  // namespace morvane
