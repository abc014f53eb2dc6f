// The renderer: colours, what an update writes, clipping to a small
// terminal, the closing bytes and the plain-text screen.
#include "console/screen_render.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "console/console.h"
#include "console/console_script.h"

namespace {

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string sgr(uint8_t attr) {
  std::string s;
  append_sgr(attr, s);
  return s;
}

// A fresh model (blank, attribute 7) written with the console operations.
class Render : public ::testing::Test {
 protected:
  void SetUp() override { con_reset_for_test(); }
  std::string update(TerminalSize size = {}) {
    std::string out;
    render_update(con_model(), size, *shown, out);
    return out;
  }
  std::unique_ptr<ShownScreen> shown = std::make_unique<ShownScreen>();
};

TEST(RenderColours, PcColoursMapToAnsiOrder) {
  EXPECT_EQ(sgr(0x07), "\x1b[0;37;40m");
  EXPECT_EQ(sgr(0x01), "\x1b[0;34;40m");  // blue
  EXPECT_EQ(sgr(0x04), "\x1b[0;31;40m");  // red
  EXPECT_EQ(sgr(0x03), "\x1b[0;36;40m");  // cyan
  EXPECT_EQ(sgr(0x06), "\x1b[0;33;40m");  // brown
  EXPECT_EQ(sgr(0x05), "\x1b[0;35;40m");
  EXPECT_EQ(sgr(0x02), "\x1b[0;32;40m");
  EXPECT_EQ(sgr(0x00), "\x1b[0;30;40m");
}

TEST(RenderColours, BrightForegroundsAndBackgrounds) {
  EXPECT_EQ(sgr(15), "\x1b[0;97;40m");
  EXPECT_EQ(sgr(8), "\x1b[0;90;40m");     // dark grey
  EXPECT_EQ(sgr(9), "\x1b[0;94;40m");     // light blue
  EXPECT_EQ(sgr(12), "\x1b[0;91;40m");    // light red
  EXPECT_EQ(sgr(14), "\x1b[0;93;40m");    // yellow
  EXPECT_EQ(sgr(112), "\x1b[0;30;47m");   // black on light grey
  EXPECT_EQ(sgr(124), "\x1b[0;91;47m");
  EXPECT_EQ(sgr(143), "\x1b[0;97;100m");  // bit 7: dark grey background
  EXPECT_EQ(sgr(0x9C), "\x1b[0;91;104m");
  EXPECT_EQ(sgr(0x4E), "\x1b[0;93;41m");
}

TEST_F(Render, FirstUpdateClearsAndDrawsEverything) {
  con_printf("hi");
  const std::string out = update();
  EXPECT_EQ(out.rfind("\x1b[0m\x1b[H\x1b[2J", 0), 0u);
  EXPECT_NE(out.find("\x1b[2J\x1b[0;37;40mhi   "), std::string::npos);
  EXPECT_NE(out.find("\x1b[25;1H"), std::string::npos);
  // The cursor goes last, then its shape (normal: underline, visible).
  EXPECT_TRUE(ends_with(out, "\x1b[1;3H\x1b[4 q\x1b[?25h"));
}

TEST_F(Render, NothingChangedWritesNothing) {
  update();
  EXPECT_EQ(update(), "");
}

TEST_F(Render, OnlyChangedCellsAreWrittenWithColourOnlyOnChange) {
  update();
  con_goto(10, 5);
  con_set_attr(15);
  con_printf("ab");
  con_set_attr(7);
  con_printf("c");
  // The cursor already stands after the text: no position at the end.
  EXPECT_EQ(update(), "\x1b[5;10H\x1b[0;97;40mab\x1b[0;37;40mc");
  con_goto(12, 5);
  con_printf("d");  // same attribute as the terminal has in effect: no SGR
  EXPECT_EQ(update(), "\x1b[5;12Hd");
}

TEST_F(Render, CursorMoveAloneIsJustAPosition) {
  update();
  con_goto(40, 20);
  EXPECT_EQ(update(), "\x1b[20;40H");
}

TEST_F(Render, CursorShapes) {
  update();
  con_set_cursor_type(kCursorHidden);
  EXPECT_EQ(update(), "\x1b[?25l");
  con_set_cursor_type(kCursorBlock);
  EXPECT_EQ(update(), "\x1b[2 q\x1b[?25h");
  con_set_cursor_type(kCursorNormal);
  EXPECT_EQ(update(), "\x1b[4 q\x1b[?25h");
}

TEST_F(Render, FarApartChangesAreSeparateRunsCloseOnesOne) {
  update();
  con_goto(1, 3);
  con_printf("x");
  con_goto(70, 3);
  con_printf("y");
  con_goto(1, 4);
  con_printf("p  q");  // two unchanged blanks between: one run
  EXPECT_EQ(update(), "\x1b[3;1Hx\x1b[3;70Hy\x1b[4;1Hp  q");
}

TEST_F(Render, GlyphsGoOutAsUtf8) {
  update();
  // After glyphs beyond ASCII the cursor is placed again: a terminal might
  // give them another width.
  con_goto(1, 2);
  update();
  con_goto(1, 1);
  con_printf("%c%c%c%c", 0xFD, 0x11, 0x0B, 0xDB);
  EXPECT_EQ(update(), "\x1b[1;1H²◄♂█\x1b[1;5H");
}

TEST_F(Render, SmallTerminalGetsOnlyTheCellsThatFit) {
  con_printf("%s", std::string(80, 'w').c_str());
  con_goto(1, 25);
  con_printf("bottom");
  con_goto(75, 22);
  const std::string out = update(TerminalSize{70, 20});
  EXPECT_NE(out.find("\x1b[2J\x1b[0;37;40m" + std::string(70, 'w') + "\x1b[2;1H"), std::string::npos);
  EXPECT_EQ(out.find("bottom"), std::string::npos);
  EXPECT_EQ(out.find("\x1b[21;"), std::string::npos);
  EXPECT_EQ(out.find(";71H"), std::string::npos);
  // Row 20 stops short of the bottom-right cell, which could scroll.
  EXPECT_NE(out.find("\x1b[20;1H" + std::string(69, ' ') + "\x1b["), std::string::npos);
  EXPECT_TRUE(ends_with(out, std::string(69, ' ') + "\x1b[4 q\x1b[?25h"));  // cursor (70, 20): clipped
}

TEST_F(Render, LargerTerminalShowsTheScreenTopLeft) {
  con_goto(80, 25);
  con_printf("!");  // wraps and scrolls: the '!' ends on row 24
  const std::string out = update(TerminalSize{120, 50});
  EXPECT_NE(out.find("\x1b[24;1H"), std::string::npos);
  EXPECT_EQ(out.find("\x1b[26;"), std::string::npos);
  EXPECT_NE(out.find(std::string(79, ' ') + "!"), std::string::npos);
  EXPECT_TRUE(ends_with(out, "\x1b[25;1H\x1b[4 q\x1b[?25h"));
}

TEST_F(Render, FullScreenTerminalWritesTheBottomRightCell) {
  con_goto(1, 25);
  con_set_attr(0x70);
  con_clear_eol();
  const std::string out = update();
  EXPECT_NE(out.find("\x1b[25;1H\x1b[0;30;47m" + std::string(80, ' ')), std::string::npos);
}

TEST_F(Render, ResizeClearsAndRedraws) {
  con_printf("abc");
  update();
  const std::string out = update(TerminalSize{100, 30});
  EXPECT_EQ(out.rfind("\x1b[0m\x1b[H\x1b[2J", 0), 0u);
  EXPECT_NE(out.find("abc"), std::string::npos);
}

TEST_F(Render, CloseResetsModesAndLeavesTheLineBelowTheCursor) {
  con_goto(5, 7);
  std::string out;
  render_close(con_model(), TerminalSize{}, out);
  EXPECT_EQ(out, "\x1b[0m\x1b[0 q\x1b[?25h\x1b[7;1H\r\n");
  con_goto(5, 25);
  out.clear();
  render_close(con_model(), TerminalSize{80, 10}, out);
  EXPECT_EQ(out, "\x1b[0m\x1b[0 q\x1b[?25h\x1b[10;1H\r\n");
}

// A stop leaves the shell the line below the whole screen, wherever the
// program's cursor was.
TEST(RenderStop, CursorBelowTheWholeScreen) {
  std::string out;
  render_stop(TerminalSize{}, out);
  EXPECT_EQ(out, "\x1b[0m\x1b[0 q\x1b[?25h\x1b[25;1H\r\n");
  out.clear();
  render_stop(TerminalSize{100, 40}, out);
  EXPECT_EQ(out, "\x1b[0m\x1b[0 q\x1b[?25h\x1b[25;1H\r\n");
  out.clear();
  render_stop(TerminalSize{80, 10}, out);
  EXPECT_EQ(out, "\x1b[0m\x1b[0 q\x1b[?25h\x1b[10;1H\r\n");
}

// The closing lines of the program as the stream hooks pass them on: the
// thanks line in black on light grey, the rest of it cleared in the saved
// attribute, the marker written and erased at once.
TEST(RenderStream, ClosingLinesAtTheTerminalsCursor) {
  std::string out;
  int shown = -1;
  auto piece = [&](const char* text, uint8_t attr) {
    render_stream(reinterpret_cast<const uint8_t*>(text), std::strlen(text), attr, shown, out);
  };
  piece("\r\nThanks for running hwmc 42 times!", 112);
  render_stream_clear_eol(15, shown, out);
  piece("\r\n", 15);
  piece("000000000", 15);
  piece("\r", 15);
  render_stream_clear_eol(15, shown, out);
  EXPECT_EQ(out,
            "\r\n\x1b[0;30;47mThanks for running hwmc 42 times!\x1b[0;97;40m\x1b[K\r\n"
            "000000000\r\x1b[K");
}

TEST(RenderStream, GlyphsBellAndBackspace) {
  std::string out;
  int shown = 7;
  const uint8_t bytes[] = {'a', 7, 8, 0xCD, 0x0B, 10};
  render_stream(bytes, sizeof bytes, 7, shown, out);
  EXPECT_EQ(out, "a\b═♂\n");
}

TEST_F(Render, PlainTextDropsTrailingBlanksAndRows) {
  con_printf("X\xFD=1  \r\n\r\n  b\xC4\x10");
  con_set_attr(0x70);
  con_goto(1, 10);
  con_clear_eol();  // coloured blanks are still blanks in plain text
  EXPECT_EQ(render_plain_text(con_model()), "X²=1\n\n  b─►\n");
}

TEST_F(Render, PlainTextOfABlankScreenIsEmpty) {
  EXPECT_EQ(render_plain_text(con_model()), "");
}

}  // namespace
