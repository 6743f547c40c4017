// Cell-sized disc and mark bitmaps. Pure white is the transparent colour of the board view, so
// everything drawn stays below it and everything around stays exactly white.
#pragma once

#include <QImage>
#include <array>

#include "Colour.h"

namespace morvane::skins {

inline constexpr QRgb Transparent = 0xFFFFFFFFu;

// Turn of b1..b4 in degrees; the white frame k is the same turn seen from the other face,
// 180 - angle, so b1 b2 b3 b4 w4 w3 w2 w1 is one continuous half turn.
inline constexpr std::array<double, 4> TurnAngles = {0.0, 40.0, 64.0, 82.0};

// A disc turned by `angle` degrees about the vertical axis: 0 shows its black face, 180 its
// white face. Edge pixels fade into `edge`. `lastMove` adds the red last-move dot (for the flat
// frames only).
QImage RenderDisc(int cell, double angle, const TColour& edge, bool lastMove);

// The legal-move mark: a small dot of `dot` whose rim fades into `edge`.
QImage RenderLegalMark(int cell, const TColour& dot, const TColour& edge);

}  // namespace morvane::skins
