// The colours of the page. Strength (-log10 of a q or p value) runs from
// white at 0 to the full hue at the top of its scale and stays there above;
// the hue gives the direction of a departure: heterozygote deficit (f_is > 0,
// or d < 0 where f_is has no value) or excess (f_is < 0, or d > 0).
#pragma once

#include <string>

enum class Direction { kNone, kDeficit, kExcess };

struct Rgb {
  int r = 0, g = 0, b = 0;
};

// f_is when it is a number, else d; kNone when neither says.
Direction direction_of(double f_is, double d);

// White to the hue of `direction`, in proportion to value / top (clamped to
// 0..1; NaN counts as 0, +inf as the top).
Rgb strength_colour(double value, double top, Direction direction);
// A residual on a scale -top..top: blue below 0, red above, white at 0.
Rgb residual_colour(double residual, double top);
Rgb hue_of(Direction direction);

// "#rrggbb".
std::string css(Rgb c);

// The top of a strength scale for values up to `largest`: a whole number,
// at least `floor_top`, at most `ceiling_top`.
double scale_top(double largest, double floor_top, double ceiling_top);
