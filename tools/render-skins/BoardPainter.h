// Board pictures: the skin's surface, the grid, star points and the octagon's cut corners.
#pragma once

#include <QImage>

#include "Colour.h"
#include "Skins.h"

namespace morvane::skins {

// The bare surface of a skin at pixel (x, y), before any grid is drawn.
TColour SurfaceAt(const TSkin& skin, double x, double y);

// The average surface colour: what disc edges fade into and the legal-move mark is tuned to.
TColour MeanSurface(const TSkin& skin);

// A 402 x 402 board picture with the grid from the top-left corner.
QImage RenderBoard(const TSkin& skin, const TBoardLayout& layout);

}  // namespace morvane::skins
