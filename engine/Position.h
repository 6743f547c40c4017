// A position as a value: board kind, cells and side to move, with the rules of play. The game,
// the book's lines, the window, the files and the command line hold positions of this type;
// only the searches keep a private, mutable board of their own, loaded from one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/BoardKind.h"
#include "engine/Cells.h"
#include "engine/Colour.h"

namespace morvane {

class TPosition {
 public:
  // The start position of the board kind, black to move.
  explicit TPosition(TBoardKind kind = TBoardKind::Board8x8);

  // A board image (cells in the engine's encoding, side byte 1 or -1). The octagon's cut corners
  // are outside whatever the image says. Nothing for an image that is not a position of the
  // kind; then `problem` says why.
  static std::optional<TPosition> FromImage(TBoardKind kind, const PositionImage& image,
                                            std::string* problem = nullptr);
  // The position text of the command line: the side to move (`X`/`b` black, `O`/`w` white),
  // then the squares row by row from a1 (`X`/`b`, `O`/`w`, `-`/`.` empty; an octagon's cut
  // corner is written as empty, or `#`). Blanks are ignored. Nothing for a text that is
  // not a position of the kind; then `problem` names the character and its place.
  static std::optional<TPosition> Parse(TBoardKind kind, std::string_view text,
                                        std::string* problem = nullptr);

  TBoardKind Kind() const { return BoardKind; }
  int Size() const { return BoardSideOf(BoardKind); }
  int Stride() const { return Size() + 2; }
  int SquareOf(int column, int row) const { return row * Stride() + column; }
  int ColumnOf(int square) const { return square % Stride(); }
  int RowOf(int square) const { return square / Stride(); }
  TColour ToMove() const { return ColourOfCell(Side); }
  int8_t Cell(int square) const { return Cells[square]; }
  int8_t At(int column, int row) const { return Cells[SquareOf(column, row)]; }
  const int8_t* Board() const { return Cells; }
  PositionImage Image() const;
  // A square of the board that can hold a disc (not the border, not a cut corner).
  bool IsPlayable(int square) const;
  int PlayableSquares() const;
  int Discs(TColour colour) const;
  int Empties() const;

  // The side to move's legal squares in ascending order; returns their count (at most
  // MaxMoves).
  int LegalMoves(int* squares) const;
  bool HasMove() const;
  // A move of the side to move; the pass is legal exactly when the side to move has no move
  // and the opponent has one (a finished game takes no pass).
  bool IsLegal(int square) const;
  // The side to move has no move but the opponent has.
  bool MustPass() const;
  // Neither side can move.
  bool IsFinished() const;
  // The discs a move of the side to move would flip, nearest first per direction; 0 for a
  // square that is not a move.
  int FlipsOf(int square, int32_t* flips) const;
  // Plays a legal move or a forced pass for the side to move and hands the move over; false,
  // and nothing changed, for anything else.
  bool Play(int square);
  // Hands the move over when the side to move has none; false when neither side can move.
  bool PassIfNeeded() {
    if (HasMove()) return true;
    SwapSide();
    if (HasMove()) return true;
    SwapSide();
    return false;
  }
  // Hands the move over without a disc; only for set-up, where a position may be wrong-sided.
  void SwapSide() { Side = static_cast<int8_t>(-Side); }
  void SetSide(TColour colour) { Side = CellOf(colour); }
  // Puts a disc (or an empty cell) on a playable square; set-up only, no flips.
  void SetCell(int square, int8_t cell);

  // Why no game can be played on from this position (no disc at all, or neither side has a
  // move); empty when one can.
  std::string WhyNotPlayable() const;

  // Black's final margin with the empty squares given to the winner.
  int FinalScore() const;

  // The position text Parse reads: `X` or `O`, then one character per square (`-` for the cut
  // corners too).
  std::string Text() const;
  // "a1" .. "j10", "pa" for the pass.
  std::string MoveText(int square) const;
  // Reads "f5", "F5", "pa", "PA" or "pass"; nothing for a text that is no square of the board.
  std::optional<int> ParseMove(std::string_view text) const;

  bool operator==(const TPosition& other) const;

 private:
  TBoardKind BoardKind;
  int8_t Side = BlackCell;
  int8_t Cells[MaxCells];
};

}  // namespace morvane
