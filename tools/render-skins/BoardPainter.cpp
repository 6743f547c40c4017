#include "BoardPainter.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "Noise.h"

namespace morvane::skins {
namespace {

TColour Felt(uint32_t seed, double x, double y) {
  const double mottle = Fbm(seed, x / 70.0, y / 70.0, 4);
  const double nap = Fbm(seed + 7u, x / 2.3, y / 2.3, 2);
  const double speck = HashUnit(seed + 13u, static_cast<int32_t>(x), static_cast<int32_t>(y)) - 0.5;
  // A lamp over the middle of the table.
  const double dx = (x - 201.0) / 201.0;
  const double dy = (y - 201.0) / 201.0;
  const double lamp = 1.04 - 0.05 * (dx * dx + dy * dy);
  const double shade = (1.0 + 0.07 * mottle + 0.06 * nap + 0.05 * speck) * lamp;
  return TColour{20, 114, 62} * shade;
}

// A flat-sawn plank: the log's axis runs along x below the board, so the growth rings cut the
// surface in long arches; fine pores follow the grain.
TColour Wood(uint32_t seed, double x, double y) {
  const double wobble = 9.0 * Fbm(seed, x / 260.0, y / 150.0, 3);
  const double across = y - 236.0 + wobble;
  const double radius =
      std::hypot(58.0, across) - 0.07 * x + 1.6 * Fbm(seed + 3u, x / 150.0, y / 24.0, 2);
  const double ring = radius / 17.0;
  const double phase = ring - std::floor(ring);
  const double lateWood = SmoothStep(0.5, 0.9, phase) * (1.0 - SmoothStep(0.93, 1.0, phase));
  const double pores = Fbm(seed + 5u, x / 90.0, y / 0.9, 2);
  const double tone = Fbm(seed + 9u, x / 260.0, y / 190.0, 2);
  const TColour early{218, 170, 114};
  const TColour late{168, 110, 62};
  TColour colour = Mix(early, late, 0.62 * lateWood + 0.22 * (0.5 + 0.5 * pores));
  return colour * (1.0 + 0.07 * tone);
}

// Grey veined marble: dark veins where a warped, turbulent sine crosses zero, a haze around
// them, and thin pale veins across.
TColour Marble(uint32_t seed, double x, double y) {
  const double wx = x + 45.0 * Fbm(seed, x / 170.0, y / 170.0, 4);
  const double wy = y + 45.0 * Fbm(seed + 1u, x / 170.0, y / 170.0, 4);
  const double t =
      (wx * 0.8 + wy * 0.55) / 140.0 + 0.9 * Turbulence(seed + 2u, x / 95.0, y / 95.0, 4);
  const double bend = std::abs(std::sin(t * Pi));
  const double vein = std::pow(1.0 - bend, 9.0);
  const double haze = std::pow(1.0 - bend, 2.5);
  const double t2 =
      (wy * 0.9 - wx * 0.4) / 60.0 + 1.4 * Turbulence(seed + 17u, x / 60.0, y / 60.0, 4);
  const double paleVein = std::pow(1.0 - std::abs(std::sin(t2 * Pi)), 28.0);
  const double cloud = Fbm(seed + 4u, x / 130.0, y / 130.0, 5);
  TColour colour = Mix(TColour{186, 182, 176}, TColour{156, 154, 152}, 0.5 + 0.6 * cloud);
  colour = Mix(colour, TColour{138, 136, 140}, 0.4 * haze);
  colour = Mix(colour, TColour{82, 80, 88}, 0.65 * vein);
  colour = Mix(colour, TColour{230, 228, 222}, 0.45 * paleVein);
  return colour;
}

// Shallow water seen from above: a deep-to-shallow wash with caustic light nets on the floor.
TColour Water(uint32_t seed, double x, double y) {
  const double depth = Fbm(seed, x / 190.0, y / 190.0, 3);
  const TColour base = Mix(TColour{14, 72, 132}, TColour{30, 112, 168}, 0.5 + 0.5 * depth);
  const double wx = x + 16.0 * Fbm(seed + 2u, x / 70.0, y / 70.0, 2);
  const double wy = y + 16.0 * Fbm(seed + 3u, x / 70.0, y / 70.0, 2);
  const TWorley large = Worley(seed + 5u, wx / 36.0, wy / 36.0);
  const TWorley small = Worley(seed + 6u, wx / 22.0 + 3.1, wy / 22.0 - 1.7);
  const double net1 = std::exp(-(large.F2 - large.F1) * 10.0);
  const double net2 = std::exp(-(small.F2 - small.F1) * 9.0);
  const double caustic = 0.55 * net1 + 0.35 * net2 + 0.35 * net1 * net2;
  const double ripple =
      std::sin((x * 0.5 + y) / 11.0 + 3.0 * Fbm(seed + 8u, x / 90.0, y / 90.0, 2));
  TColour colour = base + TColour{70, 120, 130} * (0.55 * caustic);
  colour = colour * (1.0 + 0.03 * ripple);
  return colour;
}

// Distance from a pixel centre to the playable cells, with the direction pointing away from them.
struct TEdgeDistance {
  double Distance;
  double AwayX;
  double AwayY;
};

TEdgeDistance DistanceToBoard(const TBoardLayout& layout, double x, double y) {
  TEdgeDistance best{1e9, 0.0, 0.0};
  for (int row = 0; row < layout.Side; ++row) {
    for (int column = 0; column < layout.Side; ++column) {
      if (!layout.IsPlayable(column, row)) continue;
      // Rectangles in pixel-edge coordinates, including the grid line beyond the last pixel.
      const double left = column * layout.Cell;
      const double top = row * layout.Cell;
      const double nearX = std::clamp(x, left, left + layout.Cell + 1.0);
      const double nearY = std::clamp(y, top, top + layout.Cell + 1.0);
      const double distance = std::hypot(x - nearX, y - nearY);
      if (distance < best.Distance) {
        best = {distance, (x - nearX) / std::max(distance, 1e-9),
                (y - nearY) / std::max(distance, 1e-9)};
      }
    }
  }
  return best;
}

// A grid line pixel is drawn where it touches at least one playable cell.
bool OnGridLine(const TBoardLayout& layout, int x, int y) {
  const int extent = layout.Side * layout.Cell;
  if (x > extent || y > extent) return false;
  const bool vertical = x % layout.Cell == 0;
  const bool horizontal = y % layout.Cell == 0;
  if (!vertical && !horizontal) return false;
  const int column = x / layout.Cell;
  const int row = y / layout.Cell;
  if (vertical && horizontal) {
    return layout.IsPlayable(column - 1, row - 1) || layout.IsPlayable(column, row - 1) ||
           layout.IsPlayable(column - 1, row) || layout.IsPlayable(column, row);
  }
  if (vertical) return layout.IsPlayable(column - 1, row) || layout.IsPlayable(column, row);
  return layout.IsPlayable(column, row - 1) || layout.IsPlayable(column, row);
}

void DrawStarPoints(QImage& image, const TSkin& skin, const TBoardLayout& layout) {
  const int inset = layout.Octagon ? 3 : 2;
  const double radius = layout.Cell >= 50 ? 3.2 : 2.7;
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(ToRgb(skin.Line)));
  for (const int across : {inset, layout.Side - inset}) {
    for (const int down : {inset, layout.Side - inset}) {
      // The line through pixel k has its centre at k + 0.5.
      const QPointF centre(across * layout.Cell + 0.5, down * layout.Cell + 0.5);
      painter.drawEllipse(centre, radius, radius);
    }
  }
}

}  // namespace

TColour SurfaceAt(const TSkin& skin, double x, double y) {
  switch (skin.Material) {
    case TMaterial::Felt:
      return Felt(skin.Seed, x, y);
    case TMaterial::Wood:
      return Wood(skin.Seed, x, y);
    case TMaterial::Marble:
      return Marble(skin.Seed, x, y);
    case TMaterial::Water:
      return Water(skin.Seed, x, y);
  }
  return {};
}

TColour MeanSurface(const TSkin& skin) {
  TColour sum;
  int count = 0;
  for (int y = 2; y < BoardPixels; y += 4) {
    for (int x = 2; x < BoardPixels; x += 4) {
      sum += SurfaceAt(skin, x + 0.5, y + 0.5);
      ++count;
    }
  }
  return sum * (1.0 / count);
}

QImage RenderBoard(const TSkin& skin, const TBoardLayout& layout) {
  QImage image(BoardPixels, BoardPixels, QImage::Format_RGB32);
  const int extent = layout.Side * layout.Cell;
  const double bevel = 5.0;
  for (int y = 0; y < BoardPixels; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < BoardPixels; ++x) {
      const double cx = x + 0.5;
      const double cy = y + 0.5;
      const TColour surface = SurfaceAt(skin, cx, cy);
      TColour colour = surface;
      if (OnGridLine(layout, x, y)) {
        colour = Mix(surface, skin.Line, skin.LineStrength);
      } else if (x > extent || y > extent) {
        colour = surface * skin.FrameShade;
      } else if (!layout.IsPlayable(x / layout.Cell, y / layout.Cell)) {
        // A cut corner: sunk below the playing surface, with a lit or shaded wall along the
        // board's edge depending on which way the wall faces the light (top left).
        const TColour sunk = surface * skin.FrameShade;
        const TEdgeDistance edge = DistanceToBoard(layout, cx, cy);
        if (edge.Distance < bevel) {
          const double facing = -(edge.AwayX + edge.AwayY) * 0.7071;
          const double depth = edge.Distance / bevel;
          const TColour wall = surface * (0.78 + 0.42 * facing);
          colour = Mix(wall, sunk, SmoothStep(0.55, 1.0, depth));
        } else {
          colour = sunk;
        }
      }
      line[x] = ToRgb(colour);
    }
  }
  if (skin.StarPoints) DrawStarPoints(image, skin, layout);
  return image;
}

}  // namespace morvane::skins
