#include "engine/BoardKind.h"

#include "engine/Cells.h"

namespace morvane {

void BlockOctagonCorners(int8_t* board) {
  for (int32_t square : OctagonCutSquares) board[square] = OutsideCell;
}

std::optional<TBoardKind> ParseBoardKind(std::string_view text) {
  if (text == "8") return TBoardKind::Board8x8;
  if (text == "10") return TBoardKind::Board10x10;
  if (text == "88") return TBoardKind::Octagon;
  return std::nullopt;
}

}  // namespace morvane
