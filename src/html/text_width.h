// How wide a text is when a figure sets it, so that a margin can be made as
// wide as its longest label before any browser lays it out. Every text of a
// figure is in one font, DejaVu Sans (declared first; Bitstream Vera Sans
// has the same metrics), at kFontSize user units, set without hinting, so
// its width is the sum of its glyphs' advance widths (kerning only narrows
// the pairs it touches in this font). A code point DejaVu Sans has no glyph
// for is taken as one em, what the fallback fonts give most scripts.
#pragma once

#include <string>
#include <string_view>

inline constexpr double kFontSize = 11;
inline constexpr const char* kFontFamily = "'DejaVu Sans','Bitstream Vera Sans',sans-serif";
// Above and below the baseline, at kFontSize: the font's ascent and descent.
inline constexpr double kAscent = kFontSize * 1901 / 2048;
inline constexpr double kDescent = kFontSize * 483 / 2048;

// In user units, at `size`.
double text_width(std::string_view utf8, double size = kFontSize);

// The text whole when it is at most max_width wide, else its longest start
// (whole code points) that fits with "…" after it.
std::string fit_text(std::string_view utf8, double max_width, double size = kFontSize);
