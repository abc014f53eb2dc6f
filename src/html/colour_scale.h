// The colours of the page, on scales fixed once for every page and run, so
// that a colour means the same in every figure of every data set:
// - strength, -log10 of a q or p value, from 0 to kStrengthTop (q = 1e-5)
//   and beyond, in viridis (the published 256-colour table, sampled at 33
//   stops and interpolated), perceptually uniform and readable with every
//   common colour vision deficiency and in grey, reversed so that more
//   evidence is more ink: 0 pale yellow, 5 and above dark violet;
// - a residual, -kResidualTop .. +kResidualTop and beyond, in ColorBrewer's
//   11-class RdBu: red above 0, blue below, near white at 0;
// - the direction of a departure: heterozygote deficit (f_is > 0, or d < 0
//   where f_is has no value) in RdBu's red, excess in its blue.
#pragma once

#include <string>
#include <vector>

enum class Direction { kNone, kDeficit, kExcess };

struct Rgb {
  int r = 0, g = 0, b = 0;
};

// f_is when it is a number, else d; kNone when neither says.
Direction direction_of(double f_is, double d);
Rgb hue_of(Direction direction);

inline constexpr double kStrengthTop = 5;
inline constexpr double kResidualTop = 4;

struct ScaleTick {
  double value;
  const char* label;      // on the scale's own axis
  const char* q_label;    // the q or p it stands for; empty for residuals
};

// -log10 q: 0, 1.3 (0.05), 2 (0.01), 3 (0.001), >= 5.
extern const ScaleTick kStrengthTicks[5];
// -4 or less, -2, 0, 2, 4 or more.
extern const ScaleTick kResidualTicks[5];

// NaN counts as 0, anything at or above kStrengthTop (+inf too) as the top.
Rgb strength_colour(double strength);
// NaN counts as 0; clamped to +-kResidualTop.
Rgb residual_colour(double residual);

// A gradient's stops drawing a scale from its bottom (offset 0) to its top
// (offset 1): what the legends show.
struct GradientStop {
  double offset;
  Rgb colour;
};
std::vector<GradientStop> strength_stops();
std::vector<GradientStop> residual_stops();

// WCAG relative luminance, 0 (black) to 1 (white): which ink reads on a fill.
double relative_luminance(Rgb c);

// "#rrggbb".
std::string css(Rgb c);
