// The cells of the bordered one-dimensional board that every part of Morvane shares: on a board
// of side a, column c and row r (both from 1) are the square r x (a + 2) + c.
#pragma once

#include <cstdint>

namespace morvane {

constexpr int MaxCells = 151;  // room for the largest bordered board (12 x 12 = 144 cells)
constexpr int PassMove = 1;    // a border square that never holds a disc

constexpr int8_t EmptyCell = 0;
constexpr int8_t BlackCell = 1;
constexpr int8_t WhiteCell = -1;
constexpr int8_t OutsideCell = 2;

// A move flips at most 8 discs along each of the four lines through its square.
constexpr int MaxFlips = 32;
// No position of the largest board has more legal moves than empty squares (100 - 4).
constexpr int MaxMoves = 96;

// A side-to-move byte followed by the board cells, exchanged between engine, game record, book
// and window.
struct PositionImage {
  int8_t SideToMove;
  int8_t Board[MaxCells];
};

}  // namespace morvane
