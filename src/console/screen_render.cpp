#include "console/screen_render.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "console/cp437.h"

namespace {

// PC colour order (black, blue, green, cyan, red, magenta, brown, grey) to
// the ANSI order (black, red, green, yellow, blue, magenta, cyan, white).
constexpr int kAnsiOf[8] = {0, 4, 2, 6, 1, 5, 3, 7};

// Unchanged cells between two changed ones cost less to redraw than a new
// cursor position when the gap is this short.
constexpr int kMaxGap = 6;

void append_goto(int x, int y, std::string& out) {
  char buf[24];
  const int n = std::snprintf(buf, sizeof buf, "\x1b[%d;%dH", y, x);
  out.append(buf, static_cast<size_t>(n));
}

bool same(const Cell& a, const Cell& b) { return a.ch == b.ch && a.attr == b.attr; }

// Plain modes and a visible cursor, then the start of the line below row y
// of the screen (as far as the terminal has rows).
void append_hand_back(int y, TerminalSize size, std::string& out) {
  out += "\x1b[0m\x1b[0 q\x1b[?25h";
  append_goto(1, std::clamp(y, 1, std::max(std::min(size.rows, kScreenHeight), 1)), out);
  out += "\r\n";
}

}  // namespace

void append_sgr(uint8_t attr, std::string& out) {
  const int fg = attr & 0x0F;
  const int bg = (attr >> 4) & 0x07;
  const int fg_code = (fg < 8 ? 30 : 90) + kAnsiOf[fg & 7];
  const int bg_code = ((attr & 0x80) ? 100 : 40) + kAnsiOf[bg];
  char buf[24];
  // The leading 0 drops anything a previous colour left (bold included).
  const int n = std::snprintf(buf, sizeof buf, "\x1b[0;%d;%dm", fg_code, bg_code);
  out.append(buf, static_cast<size_t>(n));
}

void append_glyph(uint8_t ch, std::string& out) { out += cp437_utf8(ch); }

void append_cursor_shape(int cursor_type, std::string& out) {
  switch (cursor_type) {
    case kCursorHidden: out += "\x1b[?25l"; break;
    case kCursorBlock: out += "\x1b[2 q\x1b[?25h"; break;
    default: out += "\x1b[4 q\x1b[?25h"; break;
  }
}

void render_update(const ConsoleModel& model, TerminalSize size, ShownScreen& shown,
                   std::string& out) {
  const int cols = std::min(size.cols, kScreenWidth);
  const int rows = std::min(size.rows, kScreenHeight);
  const bool small = size.cols < kScreenWidth || size.rows < kScreenHeight;
  const bool redraw = !shown.valid || shown.size.cols != size.cols || shown.size.rows != size.rows;
  if (redraw) {
    out += "\x1b[0m\x1b[H\x1b[2J";
    shown.valid = true;
    shown.size = size;
    shown.attr = -1;
    shown.cursor_x = 1;
    shown.cursor_y = 1;
  }
  for (int y = 0; y < rows; ++y) {
    const Cell* want = model.cells[y];
    Cell* have = shown.cells[y];
    int width = cols;
    if (small && y == size.rows - 1 && cols == size.cols) --width;
    if (!redraw && std::memcmp(want, have, sizeof(Cell) * static_cast<size_t>(width)) == 0) continue;
    int x = 0;
    while (x < width) {
      if (!redraw && same(want[x], have[x])) {
        ++x;
        continue;
      }
      // A run from x to the last changed cell before a long unchanged gap.
      int end = x + 1;
      for (int gap = 0, i = x + 1; i < width; ++i) {
        if (redraw || !same(want[i], have[i])) {
          end = i + 1;
          gap = 0;
        } else if (++gap > kMaxGap) {
          break;
        }
      }
      if (shown.cursor_x != x + 1 || shown.cursor_y != y + 1) append_goto(x + 1, y + 1, out);
      bool ascii = true;
      for (int i = x; i < end; ++i) {
        if (want[i].attr != shown.attr) {
          append_sgr(want[i].attr, out);
          shown.attr = want[i].attr;
        }
        append_glyph(want[i].ch, out);
        ascii = ascii && want[i].ch >= 32 && want[i].ch < 127;
        have[i] = want[i];
      }
      // Where the terminal's cursor now stands is certain only after ASCII
      // glyphs short of the last column; otherwise the next step places it.
      shown.cursor_x = ascii && end < size.cols ? end + 1 : 0;
      shown.cursor_y = y + 1;
      x = end;
    }
  }
  const int cx = std::clamp(model.cursor_x, 1, std::max(cols, 1));
  const int cy = std::clamp(model.cursor_y, 1, std::max(rows, 1));
  if (cx != shown.cursor_x || cy != shown.cursor_y) {
    append_goto(cx, cy, out);
    shown.cursor_x = cx;
    shown.cursor_y = cy;
  }
  if (model.cursor_type != shown.cursor_type) {
    append_cursor_shape(model.cursor_type, out);
    shown.cursor_type = model.cursor_type;
  }
}

void render_close(const ConsoleModel& model, TerminalSize size, std::string& out) {
  append_hand_back(model.cursor_y, size, out);
}

void render_stop(TerminalSize size, std::string& out) {
  append_hand_back(kScreenHeight, size, out);
}

void render_stream(const uint8_t* bytes, size_t count, uint8_t attr, int& shown_attr,
                   std::string& out) {
  for (size_t i = 0; i < count; ++i) {
    switch (bytes[i]) {
      case 7: break;
      case 8: out += '\b'; break;
      case 10: out += '\n'; break;
      case 13: out += '\r'; break;
      default:
        if (attr != shown_attr) {
          append_sgr(attr, out);
          shown_attr = attr;
        }
        append_glyph(bytes[i], out);
        break;
    }
  }
}

void render_stream_clear_eol(uint8_t attr, int& shown_attr, std::string& out) {
  if (attr != shown_attr) {
    append_sgr(attr, out);
    shown_attr = attr;
  }
  out += "\x1b[K";
}

std::string render_plain_text(const ConsoleModel& model) {
  std::string text;
  std::string pending_rows;  // empty rows kept until a later row has text
  for (int y = 0; y < kScreenHeight; ++y) {
    int width = kScreenWidth;
    // Blanks, byte 0 and 255 are all blank on screen.
    auto blank = [](uint8_t c) { return c == ' ' || c == 0 || c == 255; };
    while (width > 0 && blank(model.cells[y][width - 1].ch)) --width;
    if (width == 0) {
      pending_rows += '\n';
      continue;
    }
    text += pending_rows;
    pending_rows.clear();
    for (int x = 0; x < width; ++x) append_glyph(model.cells[y][x].ch, text);
    text += '\n';
  }
  return text;
}
