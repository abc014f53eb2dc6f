// The screen model: the character writer, colours, clearing, rectangles.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/console_script.h"

namespace {

std::string trimmed_row(int y) {
  std::string row = con_row_text(y);
  row.erase(row.find_last_not_of(' ') + 1);
  return row;
}

class ScreenModel : public ::testing::Test {
 protected:
  void SetUp() override { con_reset_for_test(); }
};

TEST_F(ScreenModel, WriterPutsGlyphsWithCurrentAttribute) {
  con_set_attr(0x1E);
  EXPECT_EQ(con_printf("ab"), 2);
  EXPECT_EQ(con_cell(1, 1).ch, 'a');
  EXPECT_EQ(con_cell(2, 1).attr, 0x1E);
  EXPECT_EQ(con_cell(3, 1).attr, 7);
  EXPECT_EQ(con_where_x(), 3);
}

TEST_F(ScreenModel, ControlGlyphsOtherThanTheFourAreDrawn) {
  con_printf("%c%c\x10\x11\x19", 11, 12);
  EXPECT_EQ(con_row_text(1).substr(0, 5), "\x0b\x0c\x10\x11\x19");
  EXPECT_EQ(con_where_x(), 6);
  con_putch(0);  // byte 0 is a glyph too
  EXPECT_EQ(con_cell(6, 1).ch, 0);
  EXPECT_EQ(con_where_x(), 7);
}

TEST_F(ScreenModel, LineFeedKeepsTheColumn) {
  con_printf("abc\n");
  EXPECT_EQ(con_where_x(), 4);
  EXPECT_EQ(con_where_y(), 2);
  con_printf("\r");
  EXPECT_EQ(con_where_x(), 1);
  EXPECT_EQ(con_where_y(), 2);
}

TEST_F(ScreenModel, BackspaceMovesLeftWithoutErasingAndStopsAtColumnOne) {
  con_printf("xy\b");
  EXPECT_EQ(con_where_x(), 2);
  EXPECT_EQ(con_cell(2, 1).ch, 'y');
  con_printf("\b\b\b");
  EXPECT_EQ(con_where_x(), 1);
  EXPECT_EQ(con_where_y(), 1);
}

TEST_F(ScreenModel, BellDoesNotMoveTheCursorAndRingsTheBackend) {
  static int rings = 0;
  rings = 0;
  ConsoleBackend b;
  b.bell = [](void*) { ++rings; };
  con_attach_backend(b);
  con_printf("a\ab");
  EXPECT_EQ(rings, 1);
  EXPECT_EQ(trimmed_row(1), "ab");
}

TEST_F(ScreenModel, EightyCharactersWrapAtOnce) {
  con_printf("%s", std::string(80, 'x').c_str());
  EXPECT_EQ(con_where_x(), 1);
  EXPECT_EQ(con_where_y(), 2);
  con_printf("\r\n");
  EXPECT_EQ(con_where_y(), 3);  // one empty row, as the text rows rely on
  EXPECT_EQ(trimmed_row(2), "");
}

TEST_F(ScreenModel, WrapInTheLastColumnOfRow25ScrollsAtOnce) {
  con_goto(1, 1);
  con_printf("top");
  con_goto(1, 2);
  con_printf("second");
  con_set_attr(0x20);
  con_goto(1, 25);
  con_printf("%s", std::string(80, 'z').c_str());
  EXPECT_EQ(con_where_x(), 1);
  EXPECT_EQ(con_where_y(), 25);
  EXPECT_EQ(trimmed_row(1), "second");
  EXPECT_EQ(trimmed_row(24), std::string(80, 'z'));
  EXPECT_EQ(trimmed_row(25), "");
  EXPECT_EQ(con_cell(1, 25).attr, 0x20);  // the new row takes the current attribute
  EXPECT_EQ(con_cell(80, 25).attr, 0x20);
}

TEST_F(ScreenModel, LineFeedOnRow25Scrolls) {
  con_goto(5, 25);
  con_printf("q");
  con_printf("\n");
  EXPECT_EQ(con_where_x(), 6);
  EXPECT_EQ(con_where_y(), 25);
  EXPECT_EQ(con_cell(5, 24).ch, 'q');
}

TEST_F(ScreenModel, LongFormattedOutputIsNotTruncated) {
  const std::string text(1000, 'k');
  EXPECT_EQ(con_printf("%s!", text.c_str()), 1001);
  // 1001 = 12 * 80 + 41: the last character lands at column 41 of row 13.
  EXPECT_EQ(con_where_y(), 13);
  EXPECT_EQ(con_where_x(), 42);
  EXPECT_EQ(con_cell(41, 13).ch, '!');
}

TEST_F(ScreenModel, PrintfUsesTheCLocaleFormats) {
  con_printf("%-f|%.3f|%5d|%-3s|%u|%ld|%g|%%", 169.815521, 24.9958, 15, "a", 7u, 42L, 0.5);
  EXPECT_EQ(trimmed_row(1), "169.815521|24.996|   15|a  |7|42|0.5|%");
}

TEST_F(ScreenModel, SetColorKeepsBackgroundAndTakesForegroundAndBlink) {
  con_set_attr(112);
  con_set_color(12);
  EXPECT_EQ(con_model().attribute, 124);
  con_set_attr(7);
  con_set_color(143);
  EXPECT_EQ(con_model().attribute, 143);
  con_set_attr(0xF3);
  con_set_color(0x209);  // only 0x8F of c counts
  EXPECT_EQ(con_model().attribute, 0x79);
}

TEST_F(ScreenModel, GotoOutsideTheScreenDoesNothing) {
  con_goto(10, 12);
  for (auto [x, y] : std::vector<std::pair<int, int>>{{0, 5}, {81, 5}, {5, 0}, {5, 26}, {-3, -3}}) {
    con_goto(x, y);
    EXPECT_EQ(con_where_x(), 10);
    EXPECT_EQ(con_where_y(), 12);
  }
  con_goto(80, 25);
  EXPECT_EQ(con_where_x(), 80);
  EXPECT_EQ(con_where_y(), 25);
}

TEST_F(ScreenModel, ClearEolFillsToColumn80WithoutMovingTheCursor) {
  con_printf("%s", std::string(80, '#').c_str());
  con_set_attr(0x4F);
  con_goto(10, 1);
  con_clear_eol();
  EXPECT_EQ(con_where_x(), 10);
  EXPECT_EQ(trimmed_row(1), std::string(9, '#'));
  EXPECT_EQ(con_cell(9, 1).attr, 7);
  EXPECT_EQ(con_cell(10, 1).attr, 0x4F);
  EXPECT_EQ(con_cell(80, 1).attr, 0x4F);
}

TEST_F(ScreenModel, GotoClearWithAnInvalidPositionClearsFromTheOldCursor) {
  con_printf("abcdef");
  con_goto(3, 1);
  con_goto_clear(0, 9);
  EXPECT_EQ(trimmed_row(1), "ab");
  EXPECT_EQ(con_where_y(), 1);
}

TEST_F(ScreenModel, ClearScreenFillsInCurrentAttributeAndHomes) {
  con_printf("text");
  con_goto(40, 20);
  con_set_attr(15);
  con_clear_screen();
  EXPECT_EQ(con_where_x(), 1);
  EXPECT_EQ(con_where_y(), 1);
  for (int y = 1; y <= 25; ++y)
    for (int x = 1; x <= 80; ++x) {
      ASSERT_EQ(con_cell(x, y).ch, ' ');
      ASSERT_EQ(con_cell(x, y).attr, 15);
    }
}

TEST_F(ScreenModel, SaveAndRestoreTheWholeScreenWithColours) {
  con_set_attr(0x1E);
  con_printf("hello");
  con_goto(7, 25);
  con_set_attr(0x70);
  con_printf("bottom");
  std::vector<uint8_t> saved(4000);
  ASSERT_EQ(con_save_rect(1, 1, 80, 25, saved.data()), 1);
  EXPECT_EQ(saved[0], 'h');
  EXPECT_EQ(saved[1], 0x1E);
  EXPECT_EQ(saved[(24 * 80 + 6) * 2], 'b');
  EXPECT_EQ(saved[(24 * 80 + 6) * 2 + 1], 0x70);
  const ConsoleModel before = con_model();
  con_set_attr(15);
  con_clear_screen();
  con_printf("other");
  con_goto(30, 9);
  ASSERT_EQ(con_restore_rect(1, 1, 80, 25, saved.data()), 1);
  EXPECT_EQ(std::memcmp(before.cells, con_model().cells, sizeof before.cells), 0);
  EXPECT_EQ(con_where_x(), 30);  // restoring does not move the cursor
  EXPECT_EQ(con_where_y(), 9);
}

TEST_F(ScreenModel, PartialRectangleIsCopiedRowByRow) {
  con_goto(2, 3);
  con_printf("AB");
  con_goto(2, 4);
  con_printf("CD");
  uint8_t buf[8];
  ASSERT_EQ(con_save_rect(2, 3, 3, 4, buf), 1);
  EXPECT_EQ(buf[0], 'A');
  EXPECT_EQ(buf[2], 'B');
  EXPECT_EQ(buf[4], 'C');
  EXPECT_EQ(buf[6], 'D');
  ASSERT_EQ(con_restore_rect(10, 20, 11, 21, buf), 1);
  EXPECT_EQ(con_row_text(20).substr(9, 2), "AB");
  EXPECT_EQ(con_row_text(21).substr(9, 2), "CD");
}

TEST_F(ScreenModel, InvalidRectanglesAreRefusedAndTouchNothing) {
  con_printf("keep");
  const ConsoleModel before = con_model();
  uint8_t buf[4100];
  std::memset(buf, 0xAA, sizeof buf);
  const int bad[][4] = {{0, 1, 80, 25}, {1, 0, 80, 25}, {1, 1, 81, 25}, {1, 1, 80, 26},
                        {5, 1, 4, 25},  {1, 5, 80, 4}};
  for (const auto& r : bad) {
    EXPECT_EQ(con_save_rect(r[0], r[1], r[2], r[3], buf), 0);
    EXPECT_EQ(con_restore_rect(r[0], r[1], r[2], r[3], buf), 0);
  }
  for (uint8_t b : buf) ASSERT_EQ(b, 0xAA);
  EXPECT_EQ(std::memcmp(before.cells, con_model().cells, sizeof before.cells), 0);
}

TEST_F(ScreenModel, GetInfoReportsWindowAttributeAndCursor) {
  con_set_attr(0x3B);
  con_goto(12, 7);
  ConsoleInfo info{};
  con_get_info(&info);
  EXPECT_EQ(info.win_left, 1);
  EXPECT_EQ(info.win_top, 1);
  EXPECT_EQ(info.win_right, 80);
  EXPECT_EQ(info.win_bottom, 25);
  EXPECT_EQ(info.attribute, 0x3B);
  EXPECT_EQ(info.normal_attribute, 7);
  EXPECT_EQ(info.screen_width, 80);
  EXPECT_EQ(info.screen_height, 25);
  EXPECT_EQ(info.cursor_x, 12);
  EXPECT_EQ(info.cursor_y, 7);
}

// The backend sees exactly one present per operation that changed the
// screen or the cursor, and none for the others.
TEST_F(ScreenModel, OnePresentPerChangingOperation) {
  static int presents = 0;
  presents = 0;
  ConsoleBackend b;
  b.present = [](void*) { ++presents; };
  con_attach_backend(b);
  con_printf("%s", std::string(300, 'p').c_str());
  EXPECT_EQ(presents, 1);
  con_goto_clear(1, 5);
  EXPECT_EQ(presents, 2);
  con_set_color(3);
  con_set_attr(3);
  con_where_x();
  EXPECT_EQ(presents, 2);
  con_goto(99, 1);
  EXPECT_EQ(presents, 2);
  con_putch('x');
  con_clear_screen();
  con_set_cursor_type(kCursorHidden);
  EXPECT_EQ(presents, 5);
}

TEST_F(ScreenModel, StreamHooksSeeTheWritersBytesAndClearEol) {
  static std::string streamed;
  static std::vector<int> attrs;
  streamed.clear();
  attrs.clear();
  ConsoleBackend b;
  b.stream = [](void*, const uint8_t* bytes, size_t n, uint8_t attr) {
    streamed.append(reinterpret_cast<const char*>(bytes), n);
    attrs.push_back(attr);
  };
  b.stream_clear_eol = [](void*, uint8_t attr) {
    streamed += "<K>";
    attrs.push_back(attr);
  };
  con_attach_backend(b);
  con_set_attr(112);
  con_printf("\r\nThanks %d", 3);
  con_set_attr(7);
  con_clear_eol();
  EXPECT_EQ(streamed, "\r\nThanks 3<K>");
  EXPECT_EQ(attrs, (std::vector<int>{112, 7}));
  EXPECT_EQ(trimmed_row(2), "Thanks 3");  // the model is kept as well
}

}  // namespace
