// The two colours. The values are the engine's cell values; every other encoding (the book's
// 1/255, the window's turn counter) is converted where a stored file or the window needs it.
#pragma once

#include <cstdint>

namespace morvane {

enum class TColour : int8_t { Black = 1, White = -1 };

constexpr TColour Opponent(TColour colour) {
  return colour == TColour::Black ? TColour::White : TColour::Black;
}

// The engine's cell value of a colour's disc (and its side-to-move byte).
constexpr int8_t CellOf(TColour colour) { return static_cast<int8_t>(colour); }

// The colour of a side-to-move byte: 1 black, anything else white.
constexpr TColour ColourOfCell(int cell) { return cell == 1 ? TColour::Black : TColour::White; }

constexpr const char* ColourName(TColour colour) {
  return colour == TColour::Black ? "black" : "white";
}

}  // namespace morvane
