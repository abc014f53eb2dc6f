// Just enough of an xterm to replay what the screen renderer writes:
// absolute cursor moves, erase display, SGR colours, cursor shape and
// visibility, UTF-8 glyphs one column wide with the deferred wrap of the last
// column. Anything else the renderer should never send, and a wrap on the
// bottom row (the terminal would scroll) is refused as well: both trap.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "console/screen_render.h"

// Colours as a PC attribute byte (the renderer's only SGR form is
// "0;<fg>;<bg>"), -1 for the terminal's default colours after a reset.
struct TermCell {
  uint32_t glyph = ' ';
  int attr = -1;
};

struct MiniTerminal {
  int cols = 0, rows = 0;
  // Only the part the 80 x 25 screen can cover is kept: a terminal may be
  // 65535 cells wide, and nothing may be drawn beyond the screen anyway.
  int kept_cols = 0, kept_rows = 0;
  std::vector<TermCell> cells;
  int x = 1, y = 1;
  bool wrap_pending = false;
  int attr = -1;
  bool visible = true;
  int shape = 0;
};

inline void term_trap_unless(bool condition) {
  if (!condition) __builtin_trap();
}

inline void term_resize(MiniTerminal& t, int cols, int rows) {
  t.cols = cols;
  t.rows = rows;
  t.kept_cols = cols < kScreenWidth ? cols : kScreenWidth;
  t.kept_rows = rows < kScreenHeight ? rows : kScreenHeight;
  t.cells.assign(static_cast<size_t>(t.kept_cols) * static_cast<size_t>(t.kept_rows), TermCell{});
  if (t.x > cols) t.x = cols;
  if (t.y > rows) t.y = rows;
  t.wrap_pending = false;
}

inline TermCell& term_cell(MiniTerminal& t, int x, int y) {
  term_trap_unless(x >= 1 && x <= t.kept_cols && y >= 1 && y <= t.kept_rows);
  return t.cells[static_cast<size_t>(y - 1) * static_cast<size_t>(t.kept_cols) +
                 static_cast<size_t>(x - 1)];
}

inline void term_put_glyph(MiniTerminal& t, uint32_t glyph) {
  if (t.wrap_pending) {
    term_trap_unless(t.y < t.rows);  // would scroll
    t.x = 1;
    ++t.y;
    t.wrap_pending = false;
  }
  TermCell& c = term_cell(t, t.x, t.y);
  c.glyph = glyph;
  c.attr = t.attr;
  if (t.x == t.cols)
    t.wrap_pending = true;
  else
    ++t.x;
}

// PC colour order and ANSI colour order differ by swapping blue with red
// and cyan with brown: the mapping is its own inverse.
constexpr int kTermPcOfAnsi[8] = {0, 4, 2, 6, 1, 5, 3, 7};

inline int term_attr_of_sgr(const std::string& params) {
  if (params.empty() || params == "0") return -1;
  int fg = -1, bg = -1;
  term_trap_unless(std::sscanf(params.c_str(), "0;%d;%d", &fg, &bg) == 2);
  int attr = 0;
  if (fg >= 30 && fg <= 37) attr |= kTermPcOfAnsi[fg - 30];
  else if (fg >= 90 && fg <= 97) attr |= 8 | kTermPcOfAnsi[fg - 90];
  else term_trap_unless(false);
  if (bg >= 40 && bg <= 47) attr |= kTermPcOfAnsi[bg - 40] << 4;
  else if (bg >= 100 && bg <= 107) attr |= 0x80 | kTermPcOfAnsi[bg - 100] << 4;
  else term_trap_unless(false);
  return attr;
}

inline int term_number(const std::string& s, size_t& i, int fallback) {
  if (i >= s.size() || s[i] < '0' || s[i] > '9') return fallback;
  int n = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') n = n * 10 + (s[i++] - '0');
  return n;
}

inline void term_csi(MiniTerminal& t, const std::string& params, char final_byte) {
  size_t i = 0;
  switch (final_byte) {
    case 'H': {
      const int row = term_number(params, i, 1);
      if (i < params.size() && params[i] == ';') ++i;
      const int col = term_number(params, i, 1);
      term_trap_unless(i == params.size());
      t.x = col < 1 ? 1 : (col > t.cols ? t.cols : col);
      t.y = row < 1 ? 1 : (row > t.rows ? t.rows : row);
      t.wrap_pending = false;
      return;
    }
    case 'J':
      term_trap_unless(params == "2");
      for (TermCell& c : t.cells) c = TermCell{' ', t.attr};
      return;
    case 'm':
      t.attr = term_attr_of_sgr(params);
      return;
    case 'q':
      term_trap_unless(params.size() == 2 && params[1] == ' ');
      t.shape = params[0] - '0';
      return;
    case 'l':
    case 'h':
      term_trap_unless(params == "?25");
      t.visible = final_byte == 'h';
      return;
    default:
      term_trap_unless(false);
  }
}

// Replays render_update's bytes.
inline void term_feed(MiniTerminal& t, const std::string& out) {
  size_t i = 0;
  while (i < out.size()) {
    const uint8_t b = static_cast<uint8_t>(out[i]);
    if (b == 0x1B) {
      term_trap_unless(i + 1 < out.size() && out[i + 1] == '[');
      size_t j = i + 2;
      std::string params;
      while (j < out.size() && (static_cast<uint8_t>(out[j]) < 0x40 || out[j] > 0x7E)) params += out[j++];
      term_trap_unless(j < out.size());
      term_csi(t, params, out[j]);
      i = j + 1;
      continue;
    }
    term_trap_unless(b >= 0x20 && b != 0x7F);  // no control codes in an update
    uint32_t cp = b;
    size_t length = 1;
    if (b >= 0xF0) {
      cp = b & 0x07;
      length = 4;
    } else if (b >= 0xE0) {
      cp = b & 0x0F;
      length = 3;
    } else if (b >= 0xC0) {
      cp = b & 0x1F;
      length = 2;
    } else {
      term_trap_unless(b < 0x80);
    }
    term_trap_unless(i + length <= out.size());
    for (size_t k = 1; k < length; ++k) {
      const uint8_t cont = static_cast<uint8_t>(out[i + k]);
      term_trap_unless((cont & 0xC0) == 0x80);
      cp = (cp << 6) | (cont & 0x3F);
    }
    term_put_glyph(t, cp);
    i += length;
  }
}

