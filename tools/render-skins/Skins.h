// The four skins and three board folders that Morvane's board view loads.
#pragma once

#include <array>
#include <cstdint>

#include "Colour.h"

namespace morvane::skins {

enum class TMaterial { Felt, Wood, Marble, Water };

struct TSkin {
  const char* Name;
  TMaterial Material;
  uint32_t Seed;
  TColour Line;         // grid lines and star points
  double LineStrength;  // how far a line pixel goes from the texture to `Line`
  bool StarPoints;
  TColour LegalDot;   // the "ok" mark
  double FrameShade;  // the cut octagon corners and the outer border: the texture darkened
};

inline constexpr std::array<TSkin, 4> Skins = {{
    {"STANDARD", TMaterial::Felt, 0x5EED0001u, {8, 42, 22}, 0.9, true, {10, 78, 40}, 0.42},
    {"WOOD", TMaterial::Wood, 0x5EED0002u, {62, 34, 14}, 0.85, true, {128, 80, 40}, 0.45},
    {"MARPLE", TMaterial::Marble, 0x5EED0003u, {52, 52, 60}, 0.8, false, {120, 116, 114}, 0.45},
    {"WATER", TMaterial::Water, 0x5EED0004u, {6, 32, 66}, 0.8, false, {14, 62, 112}, 0.45},
}};

struct TBoardLayout {
  const char* Folder;
  int Side;  // cells per row
  int Cell;  // pixels per cell
  bool Octagon;

  // Column and row from 0. The octagon loses three cells at each corner: those whose distances
  // to the two nearest edges add up to at most 1.
  constexpr bool IsPlayable(int column, int row) const {
    if (column < 0 || row < 0 || column >= Side || row >= Side) return false;
    if (!Octagon) return true;
    const int across = column < Side - 1 - column ? column : Side - 1 - column;
    const int down = row < Side - 1 - row ? row : Side - 1 - row;
    return across + down > 1;
  }
};

inline constexpr int BoardPixels = 402;

inline constexpr std::array<TBoardLayout, 3> Boards = {{
    {"Board8x8", 8, 50, false},
    {"Board10x10", 10, 40, false},
    {"Octagon", 10, 40, true},
}};

}  // namespace morvane::skins
