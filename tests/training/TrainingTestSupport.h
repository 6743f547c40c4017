// Helpers of the trainer's tests: random archive lines played on the reference board (which
// shares no code with the engines) and conversions between it and the trainer's bitboards.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "support/ReferenceBoard.h"

namespace morvane::testing_support {

struct TRandomGame {
  std::string Moves;
  int BlackDiff = 0;
  bool HasPass = false;
};

// A whole game of random legal moves from the start, played to its end.
inline TRandomGame RandomGameLine(std::mt19937& rng) {
  reference::TReferenceBoard board(8);
  board.SetupStart();
  TRandomGame game;
  while (!board.GameOver()) {
    if (!board.HasMove()) {
      board.Pass();
      game.HasPass = true;
      continue;
    }
    const auto moves = board.Moves();
    const auto square = moves[rng() % moves.size()];
    game.Moves += static_cast<char>('a' + square.Column - 1);
    game.Moves += static_cast<char>('0' + square.Row);
    board.Play(square);
  }
  game.BlackDiff = board.ToMove == reference::Black ? board.FinalMargin() : -board.FinalMargin();
  return game;
}

// The side to move's and the opponent's discs of a reference board, bit 8 * (row - 1) +
// (column - 1).
inline void ToBitboards(const reference::TReferenceBoard& board, uint64_t& own, uint64_t& opp) {
  own = opp = 0;
  for (int row = 1; row <= 8; ++row)
    for (int column = 1; column <= 8; ++column) {
      const uint64_t bit = uint64_t{1} << (8 * (row - 1) + column - 1);
      if (board.At(column, row) == board.ToMove) own |= bit;
      if (board.At(column, row) == -board.ToMove) opp |= bit;
    }
}

}  // namespace morvane::testing_support
