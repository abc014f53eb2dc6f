// The text of a screen row as the screen tests compare it: the blanks at its
// end dropped.
#pragma once

#include <string>

#include "console/console.h"

inline std::string trimmed_row(int y) {
  std::string row = con_row_text(y);
  row.erase(row.find_last_not_of(' ') + 1);
  return row;
}
