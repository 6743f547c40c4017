// A deliberately plain Othello board for tests: a 2D array, its own flip rules and a negamax to
// the end of the game. It shares no code with the engines, so it can judge them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace morvane::reference {

// Cell contents, as in the position texts.
constexpr int Empty = 0;
constexpr int Black = 1;
constexpr int White = -1;
constexpr int Blocked = 2;

struct TSquare {
  int Column, Row;  // both from 1
  bool operator==(const TSquare&) const = default;
};

class TReferenceBoard {
 public:
  static constexpr int MaxSide = 10;

  // An empty board of side 8 or 10 with the given cells blocked.
  explicit TReferenceBoard(int side, const std::vector<TSquare>& blocked = {});
  // The 10 x 10 board without three cells at each corner.
  static TReferenceBoard Octagon();
  // The start position of this geometry (centre discs, black to move).
  void SetupStart();

  int At(int column, int row) const { return Cells[row - 1][column - 1]; }
  void Set(int column, int row, int cell) {
    Cells[row - 1][column - 1] = static_cast<int8_t>(cell);
  }

  // Discs the side to move would flip by playing there (0: illegal).
  int Flips(TSquare square) const { return FlipsFor(square, ToMove); }
  int FlipsFor(TSquare square, int colour) const;
  std::vector<TSquare> Moves() const;
  bool HasMove() const { return !Moves().empty(); }
  bool OpponentHasMove() const;
  bool GameOver() const { return !HasMove() && !OpponentHasMove(); }
  // Puts a disc for the side to move, flips, and gives the move to the other side. The move
  // must be legal.
  void Play(TSquare square);
  void Pass() { ToMove = -ToMove; }

  int Count(int cell) const;
  int Playable() const { return Side * Side - Count(Blocked); }
  // The side to move's final margin with the empty squares given to the winner.
  int FinalMargin() const;

  // Exact value for the side to move (negamax with alpha-beta, no tables).
  int Solve() const { return Solve(-1000, 1000); }
  int Solve(int alpha, int beta) const;
  // Negamax to a depth: a pass keeps the depth, a finished game scores FinalMargin x 1,000,000,
  // depth 0 scores evaluate(board) for the side to move.
  int64_t Minimax(int depth, const std::function<int64_t(const TReferenceBoard&)>& evaluate) const;

  // The position text: side ('X' or 'O'), then the cells row by row ('-', 'X', 'O', '#').
  std::string ToText() const;
  // Reads a text of that form for a board of this geometry; blocked cells of the geometry stay
  // blocked. Nothing when the length or a character is wrong.
  std::optional<TReferenceBoard> FromText(const std::string& text) const;

  int Side;
  int ToMove = Black;
  std::array<std::array<int8_t, MaxSide>, MaxSide> Cells{};

  // How often a solve or minimax met a pass (counted across calls).
  mutable int64_t PassesSeen = 0;

 private:
  bool Inside(int column, int row) const {
    return column >= 1 && column <= Side && row >= 1 && row <= Side;
  }
};

// A position reached by random legal play from the start, with `empties` empty squares and a
// game that is not over. Games that end early are thrown away and played again.
TReferenceBoard RandomPosition(const TReferenceBoard& geometry, int empties, std::mt19937& rng);

// All positions on random games (one game per seed draw) with at most `maxEmpties` empties at
// which the side to move must pass while the opponent can move.
std::vector<TReferenceBoard> RandomPassPositions(const TReferenceBoard& geometry, int maxEmpties,
                                                 int wanted, std::mt19937& rng);

}  // namespace morvane::reference
