#include "html/colour_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kDeficitHue{178, 24, 43};
constexpr Rgb kExcessHue{33, 102, 172};
constexpr Rgb kNeutralHue{90, 90, 90};

Rgb mix(Rgb from, Rgb to, double t) {
  auto channel = [t](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * t)); };
  return {channel(from.r, to.r), channel(from.g, to.g), channel(from.b, to.b)};
}

double fraction(double value, double top) {
  if (std::isnan(value) || !(top > 0)) return 0;
  return std::clamp(value / top, 0.0, 1.0);
}

}  // namespace

Direction direction_of(double f_is, double d) {
  if (!std::isnan(f_is)) return f_is > 0 ? Direction::kDeficit : f_is < 0 ? Direction::kExcess : Direction::kNone;
  if (!std::isnan(d)) return d < 0 ? Direction::kDeficit : d > 0 ? Direction::kExcess : Direction::kNone;
  return Direction::kNone;
}

Rgb hue_of(Direction direction) {
  switch (direction) {
    case Direction::kDeficit: return kDeficitHue;
    case Direction::kExcess: return kExcessHue;
    case Direction::kNone: break;
  }
  return kNeutralHue;
}

Rgb strength_colour(double value, double top, Direction direction) {
  return mix(kWhite, hue_of(direction), fraction(value, top));
}

Rgb residual_colour(double residual, double top) {
  if (std::isnan(residual)) return kWhite;
  // Observed above expected: red, as a deficit of heterozygotes shows it in
  // the homozygote cells.
  return residual >= 0 ? mix(kWhite, kDeficitHue, fraction(residual, top))
                       : mix(kWhite, kExcessHue, fraction(-residual, top));
}

std::string css(Rgb c) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", c.r & 255, c.g & 255, c.b & 255);
  return buffer;
}

double scale_top(double largest, double floor_top, double ceiling_top) {
  if (std::isnan(largest)) return floor_top;
  return std::clamp(std::ceil(largest), floor_top, ceiling_top);
}
