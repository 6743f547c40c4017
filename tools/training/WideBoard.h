// The rules on the 10-wide boards (10 x 10 and the octagon) for the self-play tools: a plain
// bordered cell array, row stride 12, in the engine's square numbering, so that positions go to
// an engine's SetPosition unchanged and its answers are squares of this board.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/OthelloEngine.h"

namespace morvane::training {

enum class TWideKind : uint8_t { Board10x10 = 10, Octagon = 88 };

class TWideBoard {
 public:
  static constexpr int Stride = 12;
  static constexpr int MaxMoveCount = 96;

  // The start position of the board kind, black to move.
  explicit TWideBoard(TWideKind kind);

  TWideKind Kind() const { return BoardKind; }
  int Playable() const { return PlayableCount; }
  int Empties() const { return EmptyCount; }
  int Side() const { return ToMove; }
  int8_t At(int square) const { return Cells[square]; }
  const int8_t* Image() const { return Cells; }
  static int SquareOf(int column, int row) { return row * Stride + column; }

  // The side to move's legal squares in ascending order; returns their count.
  int LegalMoves(int* squares) const;
  bool HasMove() const;
  // Plays a legal move for the side to move and hands the move over; false (nothing changed) for
  // an illegal one.
  bool Play(int square);
  // Hands the move over when the side to move has none; false when neither side can move.
  bool PassIfNeeded();
  int Discs(int colour) const;
  // Black's final margin, empties to the winner.
  int FinalBlackDiff() const;

 private:
  int FlipsOf(int square, int* flipped) const;

  TWideKind BoardKind;
  int PlayableCount = 100;
  int EmptyCount = 0;
  int ToMove = BlackCell;
  int8_t Cells[MaxCells];
};

}  // namespace morvane::training
