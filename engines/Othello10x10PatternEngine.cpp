#include "engines/Othello10x10PatternEngine.h"

#include <utility>

namespace morvane {

TOthello10x10PatternEngine::TOthello10x10PatternEngine(std::string name, double hashSizeBits,
                                                       std::unique_ptr<TEvaluation> evaluation)
    : TOthelloPatternEngine(std::move(name), hashSizeBits, 10,
                            fixed_layout::RequireLayout<TLayout>(std::move(evaluation), "10 x 10",
                                                           StageCount, MostEntries)) {}

TOthello10x10PatternEngine::~TOthello10x10PatternEngine() = default;

void TOthello10x10PatternEngine::BuildEmptyList() {
  ResetEmptyList();
  for (const int square : SquareOrder)
    if (Board[square] == EmptyCell) AppendEmpty(square);
}

int TOthello10x10PatternEngine::ProbeMove(int square, MoveRecord& record) {
  return grid10::Probe(Board, square, SideToMove, OpponentColour, record);
}

int32_t TOthello10x10PatternEngine::Evaluate() {
  return fixed_layout::Score<TLayout, StageCount, StageWidth>(*this, BiasTable);
}

int TOthello10x10PatternEngine::CornerCount(const int8_t* board, int colour) {
  int count = 0;
  for (const auto& group : CornerGroups) {
    if (board[group[0]] != colour) continue;
    count += 1 + (board[group[1]] == colour) + (board[group[2]] == colour);
  }
  return count;
}

void TOthello10x10PatternEngine::MakeMoveLight(const MoveRecord& record) {
  grid10::MakeLight<FewestEntries, MostEntries>(*this, record);
}

void TOthello10x10PatternEngine::UnmakeMoveLight(const MoveRecord& record) {
  grid10::UnmakeLight<FewestEntries, MostEntries>(*this, record);
}

}  // namespace morvane
