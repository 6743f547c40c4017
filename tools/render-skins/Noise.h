// Deterministic noise for the procedural skins. Everything derives from integer hashes of fixed
// seeds (no library random generator), so every run writes the same bytes.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace morvane::skins {

inline constexpr double Pi = 3.14159265358979323846;

constexpr uint32_t Hash(uint32_t seed, int32_t x, int32_t y) {
  uint32_t h = seed * 0x9E3779B9u;
  h ^= static_cast<uint32_t>(x) * 0x85EBCA6Bu;
  h = (h << 13) | (h >> 19);
  h ^= static_cast<uint32_t>(y) * 0xC2B2AE35u;
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return h;
}

// Uniform in [0, 1).
constexpr double HashUnit(uint32_t seed, int32_t x, int32_t y) {
  return Hash(seed, x, y) / 4294967296.0;
}

constexpr double Lerp(double a, double b, double t) { return a + (b - a) * t; }

constexpr double SmoothStep(double edge0, double edge1, double x) {
  const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
  return t * t * (3.0 - 2.0 * t);
}

// Gradient noise with the quintic fade; roughly in [-1, 1], 0 on every lattice point.
inline double GradientNoise(uint32_t seed, double x, double y) {
  const double fx0 = std::floor(x);
  const double fy0 = std::floor(y);
  const auto x0 = static_cast<int32_t>(fx0);
  const auto y0 = static_cast<int32_t>(fy0);
  const double dx = x - fx0;
  const double dy = y - fy0;
  const auto corner = [seed](int32_t ix, int32_t iy, double px, double py) {
    const double angle = HashUnit(seed, ix, iy) * 2.0 * Pi;
    return std::cos(angle) * px + std::sin(angle) * py;
  };
  const auto fade = [](double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); };
  const double u = fade(dx);
  const double v = fade(dy);
  const double top = Lerp(corner(x0, y0, dx, dy), corner(x0 + 1, y0, dx - 1.0, dy), u);
  const double bottom =
      Lerp(corner(x0, y0 + 1, dx, dy - 1.0), corner(x0 + 1, y0 + 1, dx - 1.0, dy - 1.0), u);
  return Lerp(top, bottom, v) * 1.41421356;
}

// Fractal sum of `octaves` layers, each at twice the frequency and `gain` times the amplitude;
// normalised to roughly [-1, 1].
inline double Fbm(uint32_t seed, double x, double y, int octaves, double gain = 0.5) {
  double sum = 0.0;
  double amplitude = 1.0;
  double total = 0.0;
  for (int i = 0; i < octaves; ++i) {
    sum += amplitude * GradientNoise(seed + 101u * static_cast<uint32_t>(i), x, y);
    total += amplitude;
    amplitude *= gain;
    x = x * 2.03 + 17.1;
    y = y * 2.03 - 9.7;
  }
  return sum / total;
}

// Like Fbm but of absolute values: creased, in [0, 1]; the classic marble driver.
inline double Turbulence(uint32_t seed, double x, double y, int octaves) {
  double sum = 0.0;
  double amplitude = 1.0;
  double total = 0.0;
  for (int i = 0; i < octaves; ++i) {
    sum += amplitude * std::abs(GradientNoise(seed + 131u * static_cast<uint32_t>(i), x, y));
    total += amplitude;
    amplitude *= 0.5;
    x = x * 2.01 + 3.3;
    y = y * 2.01 + 7.9;
  }
  return std::min(1.0, sum / total * 1.6);
}

// Distances to the nearest and second-nearest of one jittered feature point per lattice cell.
struct TWorley {
  double F1;
  double F2;
};

inline TWorley Worley(uint32_t seed, double x, double y) {
  const double fx0 = std::floor(x);
  const double fy0 = std::floor(y);
  const auto x0 = static_cast<int32_t>(fx0);
  const auto y0 = static_cast<int32_t>(fy0);
  TWorley result{9.0, 9.0};
  for (int32_t j = -1; j <= 1; ++j) {
    for (int32_t i = -1; i <= 1; ++i) {
      const double px = fx0 + i + 0.1 + 0.8 * HashUnit(seed, x0 + i, y0 + j);
      const double py = fy0 + j + 0.1 + 0.8 * HashUnit(seed ^ 0x5bd1e995u, x0 + i, y0 + j);
      const double d = std::hypot(px - x, py - y);
      if (d < result.F1) {
        result.F2 = result.F1;
        result.F1 = d;
      } else if (d < result.F2) {
        result.F2 = d;
      }
    }
  }
  return result;
}

}  // namespace morvane::skins
