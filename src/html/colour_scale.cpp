#include "html/colour_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>

namespace {

// Viridis (van der Walt and Smith), entries 0, 8, ..., 248 and 255 of the
// 256 of the published table, dark violet to yellow.
constexpr Rgb kViridis[] = {
    {0x44, 0x01, 0x54}, {0x47, 0x0d, 0x60}, {0x48, 0x18, 0x6a}, {0x48, 0x23, 0x74}, {0x47, 0x2d, 0x7b},
    {0x45, 0x37, 0x81}, {0x42, 0x40, 0x86}, {0x3e, 0x49, 0x89}, {0x3b, 0x52, 0x8b}, {0x37, 0x5b, 0x8d},
    {0x33, 0x63, 0x8d}, {0x2f, 0x6b, 0x8e}, {0x2c, 0x72, 0x8e}, {0x29, 0x7a, 0x8e}, {0x26, 0x82, 0x8e},
    {0x23, 0x89, 0x8e}, {0x21, 0x91, 0x8c}, {0x1f, 0x98, 0x8b}, {0x1f, 0xa0, 0x88}, {0x22, 0xa7, 0x85},
    {0x28, 0xae, 0x80}, {0x32, 0xb6, 0x7a}, {0x3f, 0xbc, 0x73}, {0x4e, 0xc3, 0x6b}, {0x5e, 0xc9, 0x62},
    {0x70, 0xcf, 0x57}, {0x84, 0xd4, 0x4b}, {0x98, 0xd8, 0x3e}, {0xad, 0xdc, 0x30}, {0xc2, 0xdf, 0x23},
    {0xd8, 0xe2, 0x19}, {0xec, 0xe5, 0x1b}, {0xfd, 0xe7, 0x25}};
// Where each of them sits in the table, 0 .. 1.
double viridis_at(size_t i) { return i + 1 == std::size(kViridis) ? 1.0 : static_cast<double>(8 * i) / 255; }

// ColorBrewer RdBu, 11 classes, red to blue.
constexpr Rgb kRdBu[] = {{0x67, 0x00, 0x1f}, {0xb2, 0x18, 0x2b}, {0xd6, 0x60, 0x4d}, {0xf4, 0xa5, 0x82},
                         {0xfd, 0xdb, 0xc7}, {0xf7, 0xf7, 0xf7}, {0xd1, 0xe5, 0xf0}, {0x92, 0xc5, 0xde},
                         {0x43, 0x93, 0xc3}, {0x21, 0x66, 0xac}, {0x05, 0x30, 0x61}};
double rdbu_at(size_t i) { return static_cast<double>(i) / (std::size(kRdBu) - 1); }

constexpr Rgb kNeutralHue{90, 90, 90};

Rgb mix(Rgb from, Rgb to, double t) {
  auto channel = [t](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * t)); };
  return {channel(from.r, to.r), channel(from.g, to.g), channel(from.b, to.b)};
}

// The colour at position t (0 .. 1) of a table whose entry i sits at at(i).
Rgb interpolate(std::span<const Rgb> table, double (*at)(size_t), double t) {
  t = std::clamp(t, 0.0, 1.0);
  size_t i = 1;
  while (i + 1 < table.size() && at(i) < t) ++i;
  return mix(table[i - 1], table[i], (t - at(i - 1)) / (at(i) - at(i - 1)));
}

// Strength 0 .. top as a position in viridis: 1 (yellow) down to 0.
double viridis_position(double strength) {
  if (std::isnan(strength)) strength = 0;
  return 1 - std::clamp(strength, 0.0, kStrengthTop) / kStrengthTop;
}

double rdbu_position(double residual) {
  if (std::isnan(residual)) residual = 0;
  return (1 - std::clamp(residual, -kResidualTop, kResidualTop) / kResidualTop) / 2;
}

}  // namespace

const ScaleTick kStrengthTicks[5] = {{0, "0", "1"},
                                     {-std::log10(0.05), "1.3", "0.05"},
                                     {2, "2", "0.01"},
                                     {3, "3", "0.001"},
                                     {kStrengthTop, "\xE2\x89\xA5" "5", "\xE2\x89\xA4" "0.00001"}};
const ScaleTick kResidualTicks[5] = {{-kResidualTop, "\xE2\x89\xA4\xE2\x88\x92" "4", ""},
                                     {-2, "\xE2\x88\x92" "2", ""},
                                     {0, "0", ""},
                                     {2, "2", ""},
                                     {kResidualTop, "\xE2\x89\xA5" "4", ""}};

Direction direction_of(double f_is, double d) {
  if (!std::isnan(f_is)) return f_is > 0 ? Direction::kDeficit : f_is < 0 ? Direction::kExcess : Direction::kNone;
  if (!std::isnan(d)) return d < 0 ? Direction::kDeficit : d > 0 ? Direction::kExcess : Direction::kNone;
  return Direction::kNone;
}

Rgb hue_of(Direction direction) {
  switch (direction) {
    case Direction::kDeficit: return kRdBu[1];
    case Direction::kExcess: return kRdBu[9];
    case Direction::kNone: break;
  }
  return kNeutralHue;
}

Rgb strength_colour(double strength) {
  return interpolate(kViridis, viridis_at, viridis_position(strength));
}

Rgb residual_colour(double residual) { return interpolate(kRdBu, rdbu_at, rdbu_position(residual)); }

std::vector<GradientStop> strength_stops() {
  std::vector<GradientStop> stops;
  for (size_t i = std::size(kViridis); i-- > 0;) stops.push_back({1 - viridis_at(i), kViridis[i]});
  return stops;
}

std::vector<GradientStop> residual_stops() {
  std::vector<GradientStop> stops;
  for (size_t i = std::size(kRdBu); i-- > 0;) stops.push_back({1 - rdbu_at(i), kRdBu[i]});
  return stops;
}

double relative_luminance(Rgb c) {
  auto linear = [](int v) {
    const double s = v / 255.0;
    return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
}

std::string css(Rgb c) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", c.r & 255, c.g & 255, c.b & 255);
  return buffer;
}
