// The three board geometries: 8 x 8, 10 x 10 and the octagon (10 x 10 without three squares at
// each corner). The kind code is the one the window and the opening book use.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace morvane {

enum class TBoardKind : int { Board8x8 = 8, Board10x10 = 10, Octagon = 88 };

constexpr int BoardSideOf(TBoardKind kind) { return kind == TBoardKind::Board8x8 ? 8 : 10; }

constexpr int PlayableSquaresOf(TBoardKind kind) {
  return kind == TBoardKind::Octagon ? 88 : BoardSideOf(kind) * BoardSideOf(kind);
}

// The twelve cells cut off the 10 x 10 grid to make the octagon (bordered squares, width 12).
constexpr int32_t OctagonCutSquares[12] = {13, 14, 25, 21, 22, 34, 109, 121, 122, 118, 129, 130};

// Marks the octagon's cut cells as outside the board.
void BlockOctagonCorners(int8_t* board);

// Reads "8", "10" or "88"; nothing for any other text.
std::optional<TBoardKind> ParseBoardKind(std::string_view text);

}  // namespace morvane
