#include "DiscPainter.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "Noise.h"

namespace morvane::skins {
namespace {

// 4 x 4 samples per pixel; a pixel less than a fifth covered stays transparent.
constexpr int Subsamples = 4;
constexpr double MinCoverage = 0.2;
// No channel of a drawn pixel may reach 255, or a white pixel would turn transparent.
constexpr double Brightest = 250.0;

struct TVector {
  double X;
  double Y;
  double Z;
};

constexpr double Dot(const TVector& a, const TVector& b) {
  return a.X * b.X + a.Y * b.Y + a.Z * b.Z;
}

inline TVector Normalised(const TVector& v) {
  const double length = std::sqrt(Dot(v, v));
  return {v.X / length, v.Y / length, v.Z / length};
}

// x right, y down, z towards the viewer; the light comes from the top left, in front.
const TVector Light = Normalised({-0.38, -0.5, 0.78});
const TVector Halfway = Normalised({Light.X, Light.Y, Light.Z + 1.0});

struct TLook {
  TColour Base;
  double Ambient;
  double Gloss;  // tight highlight
  double Sheen;  // broad highlight
};

constexpr TLook BlackPlastic{{28, 28, 32}, 0.5, 0.6, 0.12};
constexpr TLook WhitePlastic{{238, 238, 232}, 0.55, 0.2, 0.0};
constexpr TLook RedMark{{206, 30, 30}, 0.55, 0.45, 0.05};

// A flat face lit straight on shows its base colour.
TColour Lit(const TLook& look, const TVector& normal) {
  const double diffuse = std::max(0.0, Dot(normal, Light)) / Light.Z;
  const double light = look.Ambient + (1.0 - look.Ambient) * diffuse;
  const double towards = std::max(0.0, Dot(normal, Halfway));
  const double highlight =
      look.Gloss * std::pow(towards, 60.0) + look.Sheen * std::pow(towards, 8.0);
  return look.Base * light + TColour{255, 255, 255} * highlight;
}

// Samples at (x, y) from the cell's top-left corner in pixels; an empty result is background.
template <typename Sample>
QImage RenderCell(int cell, const TColour& edge, Sample sample) {
  QImage image(cell, cell, QImage::Format_RGB32);
  for (int y = 0; y < cell; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < cell; ++x) {
      TColour sum;
      int hits = 0;
      for (int sy = 0; sy < Subsamples; ++sy) {
        for (int sx = 0; sx < Subsamples; ++sx) {
          const std::optional<TColour> colour =
              sample(x + (sx + 0.5) / Subsamples, y + (sy + 0.5) / Subsamples);
          if (colour) {
            sum += *colour;
            ++hits;
          }
        }
      }
      const double coverage = static_cast<double>(hits) / (Subsamples * Subsamples);
      if (coverage < MinCoverage) {
        line[x] = Transparent;
        continue;
      }
      TColour colour = Mix(edge, sum * (1.0 / hits), coverage);
      colour.R = std::min(colour.R, Brightest);
      colour.G = std::min(colour.G, Brightest);
      colour.B = std::min(colour.B, Brightest);
      line[x] = ToRgb(colour);
    }
  }
  return image;
}

// The disc is a short cylinder, black on its +z half and white on its -z half, turned about the
// vertical axis and seen straight from above (orthographic). Faces are slightly domed with a
// bevelled edge, the rim rounded, so the light gives a highlight and a visible rim.
class TDisc final {
 public:
  TDisc(int cell, double angle, bool lastMove)
      : Centre(cell / 2.0 + 0.5),  // the grid line takes the cell's first pixel
        Radius(0.41 * cell),
        HalfThickness(0.14 * 0.41 * cell),
        Sin(std::sin(angle * Pi / 180.0)),
        Cos(std::cos(angle * Pi / 180.0)),
        Lift(1.0 + 0.06 * std::sin(angle * Pi / 180.0)),  // a turning disc rises a little
        MarkRadius(lastMove ? 0.11 * cell : 0.0) {}

  std::optional<TColour> operator()(double x, double y) const {
    const double px = (x - Centre) / Lift;
    const double py = (y - Centre) / Lift;
    if (std::abs(py) >= Radius) return std::nullopt;
    // The viewing ray, in the disc's own frame.
    constexpr double Far = 100.0;
    const double ox = px * Cos - Far * Sin;
    const double oz = px * Sin + Far * Cos;
    const double dx = Sin;
    const double dz = -Cos;
    double slabIn = -1e9;
    double slabOut = 1e9;
    if (std::abs(dz) > 1e-12) {
      const double a = (HalfThickness - oz) / dz;
      const double b = (-HalfThickness - oz) / dz;
      slabIn = std::min(a, b);
      slabOut = std::max(a, b);
    } else if (std::abs(oz) > HalfThickness) {
      return std::nullopt;
    }
    const double halfChord = std::sqrt(Radius * Radius - py * py);
    double tubeIn = -1e9;
    double tubeOut = 1e9;
    if (std::abs(dx) > 1e-12) {
      const double a = (-halfChord - ox) / dx;
      const double b = (halfChord - ox) / dx;
      tubeIn = std::min(a, b);
      tubeOut = std::max(a, b);
    } else if (std::abs(ox) > halfChord) {
      return std::nullopt;
    }
    const double entry = std::max(slabIn, tubeIn);
    if (entry > std::min(slabOut, tubeOut)) return std::nullopt;
    const double hx = ox + entry * dx;
    const double hz = oz + entry * dz;
    return slabIn >= tubeIn ? Face(hx, py, hz > 0.0) : Rim(hx, py, hz);
  }

 private:
  TVector ToView(const TVector& n) const {
    return {n.X * Cos + n.Z * Sin, n.Y, -n.X * Sin + n.Z * Cos};
  }

  TColour Face(double x, double y, bool blackSide) const {
    const double distance = std::hypot(x, y);
    const double r = distance / Radius;
    const double tilt = 0.32 * r + 0.85 * SmoothStep(0.84, 1.0, r);
    const double ux = distance > 1e-9 ? x / distance : 0.0;
    const double uy = distance > 1e-9 ? y / distance : 0.0;
    const double side = blackSide ? 1.0 : -1.0;
    const TVector normal{ux * std::sin(tilt), uy * std::sin(tilt), side * std::cos(tilt)};
    if (distance < MarkRadius) {
      // A red bead in the middle of the face.
      const double m = distance / MarkRadius;
      const double bead = 0.9 * m;
      const TVector beadNormal{ux * std::sin(bead), uy * std::sin(bead), side * std::cos(bead)};
      const TColour colour = Lit(RedMark, ToView(beadNormal));
      return colour * (1.0 - 0.35 * SmoothStep(0.8, 1.0, m));
    }
    return Lit(blackSide ? BlackPlastic : WhitePlastic, ToView(normal));
  }

  TColour Rim(double x, double y, double z) const {
    const double across = z / HalfThickness;
    const double rounding = 1.3 * across * across * across;
    const TVector normal = Normalised({x / Radius, y / Radius, rounding});
    const TColour colour = Lit(z > 0.0 ? BlackPlastic : WhitePlastic, ToView(normal));
    // The seam where the two halves are joined.
    return colour * (1.0 - 0.3 * (1.0 - SmoothStep(0.0, 0.18, std::abs(across))));
  }

  double Centre;
  double Radius;
  double HalfThickness;
  double Sin;
  double Cos;
  double Lift;
  double MarkRadius;
};

}  // namespace

QImage RenderDisc(int cell, double angle, const TColour& edge, bool lastMove) {
  return RenderCell(cell, edge, TDisc(cell, angle, lastMove));
}

QImage RenderLegalMark(int cell, const TColour& dot, const TColour& edge) {
  const double centre = cell / 2.0 + 0.5;
  const double radius = 0.1 * cell;
  return RenderCell(cell, edge, [=](double x, double y) -> std::optional<TColour> {
    const double dx = x - centre;
    const double dy = y - centre;
    if (std::hypot(dx, dy) >= radius) return std::nullopt;
    // Slightly lighter towards the light, like a drop of tinted glass.
    return dot * (1.0 - 0.12 * (dx + dy) / radius);
  });
}

}  // namespace morvane::skins
