// Turning the screen model into terminal bytes, as pure functions.
//
// render_update appends what brings a terminal from what it shows (kept in
// a ShownScreen) to the model: only the runs of changed cells, each placed
// by absolute position, colours only where the attribute changes, then the
// cursor position and shape. The 80 x 25 screen sits at the top-left of the
// terminal; of a smaller terminal only the cells that fit are drawn, and its
// bottom-right cell is never written, so nothing can wrap or scroll.
#pragma once

#include <string>

#include "console/console.h"

struct TerminalSize {
  int cols = kScreenWidth;
  int rows = kScreenHeight;
};

struct ShownScreen {
  bool valid = false;  // false: contents unknown, clear and draw everything
  TerminalSize size;
  Cell cells[kScreenHeight][kScreenWidth] = {};
  int attr = -1;  // the colours in effect on the terminal, -1 unknown
  int cursor_x = 0, cursor_y = 0;  // the terminal's cursor; 0: unknown
  int cursor_type = -1;            // -1: unknown
};

// The SGR sequence for a PC attribute byte (foreground bits 0-3, background
// bits 4-6, bit 7 bright background), from a reset.
void append_sgr(uint8_t attr, std::string& out);
void append_glyph(uint8_t ch, std::string& out);
void append_cursor_shape(int cursor_type, std::string& out);

void render_update(const ConsoleModel& model, TerminalSize size, ShownScreen& shown,
                   std::string& out);

// What gives the terminal its normal modes back after a drawn screen:
// default colours, default cursor shape, visible cursor, and the cursor at
// column 1 of the line below the model's cursor row ("\r\n" from that row,
// so a terminal of 25 rows scrolls once).
void render_close(const ConsoleModel& model, TerminalSize size, std::string& out);

// What gives the terminal back for a stop of the program: as render_close,
// but the cursor goes to the line below the whole screen, so that the
// shell's lines do not land inside it.
void render_stop(TerminalSize size, std::string& out);

// Stream output (after the alternate screen was left): the character
// writer's bytes as they come, at the terminal's own cursor. Glyphs in
// UTF-8 with their attribute's colours (an SGR only when it differs from
// shown_attr, -1 unknown), 13 as "\r", 10 as "\n", 8 as "\b"; the bell is
// left to the bell hook. A clear to end of line is ESC[K in the colours.
void render_stream(const uint8_t* bytes, size_t count, uint8_t attr, int& shown_attr,
                   std::string& out);
void render_stream_clear_eol(uint8_t attr, int& shown_attr, std::string& out);

// The screen as plain UTF-8 text: trailing blanks of each row and trailing
// empty rows dropped, every row ended by "\n".
std::string render_plain_text(const ConsoleModel& model);
