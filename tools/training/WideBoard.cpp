#include "training/WideBoard.h"

namespace morvane::training {

namespace {

constexpr int Directions[8] = {-13, -12, -11, -1, 1, 11, 12, 13};
// The three cells cut from each corner of the octagon.
constexpr int OctagonCuts[12] = {13, 14, 25, 21, 22, 34, 109, 121, 122, 118, 129, 130};

}  // namespace

TWideBoard::TWideBoard(TWideKind kind) : BoardKind(kind) {
  for (int8_t& cell : Cells) cell = OutsideCell;
  for (int row = 1; row <= 10; ++row)
    for (int column = 1; column <= 10; ++column) Cells[SquareOf(column, row)] = EmptyCell;
  if (kind == TWideKind::Octagon)
    for (const int square : OctagonCuts) Cells[square] = OutsideCell;
  Cells[SquareOf(5, 5)] = Cells[SquareOf(6, 6)] = WhiteCell;
  Cells[SquareOf(6, 5)] = Cells[SquareOf(5, 6)] = BlackCell;
  PlayableCount = kind == TWideKind::Octagon ? 88 : 100;
  EmptyCount = PlayableCount - 4;
}

int TWideBoard::FlipsOf(int square, int* flipped) const {
  if (Cells[square] != EmptyCell) return 0;
  int count = 0;
  for (const int direction : Directions) {
    int run = 0, cell = square + direction;
    while (Cells[cell] == -ToMove) {
      ++run;
      cell += direction;
    }
    if (run == 0 || Cells[cell] != ToMove) continue;
    for (int k = 1; k <= run; ++k) {
      if (flipped) flipped[count] = square + k * direction;
      ++count;
    }
  }
  return count;
}

int TWideBoard::LegalMoves(int* squares) const {
  int count = 0;
  for (int square = Stride + 1; square < 11 * Stride; ++square)
    if (FlipsOf(square, nullptr) > 0) squares[count++] = square;
  return count;
}

bool TWideBoard::HasMove() const {
  for (int square = Stride + 1; square < 11 * Stride; ++square)
    if (FlipsOf(square, nullptr) > 0) return true;
  return false;
}

bool TWideBoard::Play(int square) {
  if (square <= 0 || square >= MaxCells) return false;
  int flipped[MaxFlips];
  const int count = FlipsOf(square, flipped);
  if (count == 0) return false;
  Cells[square] = static_cast<int8_t>(ToMove);
  for (int k = 0; k < count; ++k) Cells[flipped[k]] = static_cast<int8_t>(ToMove);
  --EmptyCount;
  ToMove = -ToMove;
  return true;
}

bool TWideBoard::PassIfNeeded() {
  if (HasMove()) return true;
  ToMove = -ToMove;
  if (HasMove()) return true;
  ToMove = -ToMove;
  return false;
}

int TWideBoard::Discs(int colour) const {
  int count = 0;
  for (const int8_t cell : Cells) count += cell == colour;
  return count;
}

int TWideBoard::FinalBlackDiff() const {
  const int black = Discs(BlackCell), white = Discs(WhiteCell);
  if (black > white) return PlayableCount - 2 * white;
  if (black < white) return 2 * black - PlayableCount;
  return 0;
}

}  // namespace morvane::training
