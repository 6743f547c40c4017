// The record of the game being played. It plays the moves on the engine's position (the only
// board there is), answers the questions of the board view and the window, takes moves back by
// replaying the game, chooses the program's move (book first, then search) and hands finished
// games to the book.
#pragma once

#include <cstdint>

#include "engine/OthelloEngine.h"
#include "engine/Position.h"
#include "engine/SearchInfo.h"
#include "game/Game.h"

namespace morvane {

class TBook;
class TProgressBar;

// One ply: the colour that moved (1 black, -1 white) and its square (1 for a pass).
struct TGameMove {
  int8_t Mover = 0;
  int32_t MoveSquare = 0;
};

// The program's choice of a move.
struct TMoveChoice {
  double Score = 0;  // discs, for the side to move
  int Square = PassMove;
  bool FromBook = false;
  int Depth = 0;  // deepest midgame depth completed (timed search only)
  int64_t ElapsedMs = 0;
};

struct TColumnRow {
  int Column = 0;
  int Row = 0;
};

class TGameInfo {
 public:
  static constexpr int MaxPlies = 4088;

  TGameInfo() = default;
  TGameInfo(const TGameInfo&) = delete;
  TGameInfo& operator=(const TGameInfo&) = delete;

  void SetEngine(TOthelloEngine* engine) { Engine = engine; }
  void NewGame();
  // A game from a set-up position of the engine's board: no plies yet, takes back to it.
  void NewGameFrom(const TPosition& start);
  // The game started from the standard start position (the book consults and learns only such
  // games).
  bool StartsFromStandard() const { return StandardStart; }
  void SetShowBestLine(bool show);
  // Also puts the level where the book's learning searches read it.
  void SetLevel(const TFixedSearchInfo& level);
  void SetClocks(int64_t first, int64_t second);

  bool IsGameOver();
  bool MustPass();
  bool IsLegal(int square);
  int SquareOf(int column, int row) const { return column + row * (BoardSide + 2); }
  TColumnRow ColumnRowOf(int square) const {
    return {square % (BoardSide + 2), square / (BoardSide + 2)};
  }
  int CellAt(int column, int row) const { return Engine->Board[SquareOf(column, row)]; }

  // Records and plays one ply. Refuses (and records nothing) a square that is not a legal
  // move, a pass while a move exists, or a ply beyond the record's capacity.
  bool EnterMove(int square);
  // Plays a ply without recording it; an illegal square is ignored.
  void PlayMove(int square);
  // Takes back two plies; the square of the ply that is now last, 0 if none.
  int TakeBack();
  TMoveChoice FindMove(bool useBook);
  // Hands the finished game to the book. A failure to save is reported and the learned book
  // stays in memory.
  void LearnGame(TProgressBar* progressBar);

  // The board kind of the engine's board.
  TBoardKind Kind() const;
  // The engine's current position as a value.
  TPosition Position() const;
  // The game so far as a value: the start position and the plies recorded.
  TGame Record() const;

  int32_t BoardSide = 0;
  int64_t FirstClock = 0, SecondClock = 0;
  int32_t MoveCount = 0;
  TGameMove Moves[MaxPlies + 1] = {};  // 1..MaxPlies; Moves[0] is never written
  TOthelloEngine* Engine = nullptr;
  TFixedSearchInfo Level;
  bool UseFixedLevel = false;
  TBook* Book = nullptr;
  // Where the game started; the standard start unless NewGameFrom set another.
  PositionImage StartImage{};
  bool StandardStart = true;

 private:
  // Puts the engine on the game's start position.
  void SetUpStart();
  // The engine's move record of a square in the current position, or null.
  const MoveRecord* FindRecord(int square, TMoveList& list);
};

}  // namespace morvane
