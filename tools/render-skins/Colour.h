// Colours in floating point while shading; rounded to 8-bit channels only when stored.
#pragma once

#include <QRgb>
#include <algorithm>
#include <cmath>

namespace morvane::skins {

struct TColour {
  double R = 0.0;
  double G = 0.0;
  double B = 0.0;

  constexpr TColour operator+(const TColour& other) const {
    return {R + other.R, G + other.G, B + other.B};
  }
  constexpr TColour operator-(const TColour& other) const {
    return {R - other.R, G - other.G, B - other.B};
  }
  constexpr TColour operator*(double factor) const { return {R * factor, G * factor, B * factor}; }
  constexpr TColour operator*(const TColour& other) const {
    return {R * other.R / 255.0, G * other.G / 255.0, B * other.B / 255.0};
  }
  constexpr TColour& operator+=(const TColour& other) {
    R += other.R;
    G += other.G;
    B += other.B;
    return *this;
  }
};

constexpr TColour Mix(const TColour& a, const TColour& b, double t) { return a + (b - a) * t; }

inline int Channel(double value) {
  return static_cast<int>(std::lround(std::clamp(value, 0.0, 255.0)));
}

inline QRgb ToRgb(const TColour& colour) {
  return qRgb(Channel(colour.R), Channel(colour.G), Channel(colour.B));
}

inline TColour FromRgb(QRgb rgb) {
  return {static_cast<double>(qRed(rgb)), static_cast<double>(qGreen(rgb)),
          static_cast<double>(qBlue(rgb))};
}

}  // namespace morvane::skins
