// The text of a screen row as the screen tests compare it: the blanks at its
// end dropped.
#pragma once

#include <initializer_list>
#include <string>

#include "console/console.h"

// A code-page-437 glyph by its name (console.h) as a character of a row.
inline char glyph(int code) { return static_cast<char>(code); }
inline std::string glyphs(std::initializer_list<int> codes) {
  std::string out;
  for (const int code : codes) out += glyph(code);
  return out;
}

inline std::string trimmed_row(int y) {
  std::string row = con_row_text(y);
  row.erase(row.find_last_not_of(' ') + 1);
  return row;
}
