// A second, deliberately plain model of the 80 x 25 console, written from
// the documented behaviour of the con_ operations: the fuzzer runs every
// operation on both and compares the screens, so a wrong wrap, scroll or
// clear shows up as well as a wrong index.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "console/console.h"

struct ReferenceScreen {
  Cell cells[kScreenHeight][kScreenWidth];
  uint8_t attribute = 7;
  int x = 1, y = 1;
  int cursor_type = kCursorNormal;
  std::deque<int> codes;  // what con_getch will return, in order
};

inline void ref_reset(ReferenceScreen& r) {
  for (auto& row : r.cells)
    for (auto& c : row) c = Cell{' ', 7};
  r.attribute = 7;
  r.x = r.y = 1;
  r.cursor_type = kCursorNormal;
  r.codes.clear();
}

inline void ref_push_event(ReferenceScreen& r, int event) {
  if (event & kExtendedKey) {
    r.codes.push_back(0);
    r.codes.push_back(event & 0xFF);
  } else {
    r.codes.push_back(event & 0xFF);
  }
}

inline bool ref_in_screen(int x, int y) {
  return x >= 1 && x <= kScreenWidth && y >= 1 && y <= kScreenHeight;
}

inline void ref_goto(ReferenceScreen& r, int x, int y) {
  if (!ref_in_screen(x, y)) return;
  r.x = x;
  r.y = y;
}

inline void ref_clear_eol(ReferenceScreen& r) {
  for (int x = r.x; x <= kScreenWidth; ++x) r.cells[r.y - 1][x - 1] = Cell{' ', r.attribute};
}

inline void ref_clear_screen(ReferenceScreen& r) {
  for (auto& row : r.cells)
    for (auto& c : row) c = Cell{' ', r.attribute};
  r.x = r.y = 1;
}

inline void ref_put(ReferenceScreen& r, uint8_t b) {
  if (b == 8) {
    if (r.x > 1) --r.x;
  } else if (b == 10) {
    ++r.y;
  } else if (b == 13) {
    r.x = 1;
  } else if (b != 7) {
    r.cells[r.y - 1][r.x - 1] = Cell{b, r.attribute};
    ++r.x;
  }
  if (r.x > kScreenWidth) {
    r.x = 1;
    ++r.y;
  }
  if (r.y > kScreenHeight) {
    for (int row = 1; row < kScreenHeight; ++row)
      for (int col = 0; col < kScreenWidth; ++col) r.cells[row - 1][col] = r.cells[row][col];
    for (int col = 0; col < kScreenWidth; ++col)
      r.cells[kScreenHeight - 1][col] = Cell{' ', r.attribute};
    r.y = kScreenHeight;
  }
}

inline void ref_write(ReferenceScreen& r, const std::string& bytes) {
  for (char c : bytes) ref_put(r, static_cast<uint8_t>(c));
}

inline bool ref_rect_valid(int left, int top, int right, int bottom) {
  return left >= 1 && top >= 1 && right <= kScreenWidth && bottom <= kScreenHeight &&
         right >= left && bottom >= top;
}

// The line editor over the reference key codes. Returns false when the
// codes run out before Enter (the text is then as far as it got).
inline bool ref_read_line(ReferenceScreen& r, int capacity, std::string& text) {
  text.clear();
  for (;;) {
    if (r.codes.empty()) return false;
    const int key = r.codes.front();
    r.codes.pop_front();
    if (key == 13) return true;
    bool erase = key == 8;
    if (key == 0) {
      if (r.codes.empty()) return false;
      erase = r.codes.front() == kScanLeft;
      r.codes.pop_front();
    } else if (key != 8 && static_cast<int>(text.size()) < capacity - 1) {
      ref_put(r, static_cast<uint8_t>(key));
      text.push_back(static_cast<char>(key));
    }
    if (erase && !text.empty()) {
      ref_write(r, "\b \b");
      text.pop_back();
    }
  }
}
