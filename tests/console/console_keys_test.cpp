// Keys through the console: extended keys, kbhit, the end of the key input
// and the line editor.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "console/console.h"
#include "console/console_script.h"

namespace {

constexpr int kLeft = kExtendedKey | kScanLeft;

std::string trimmed_row(int y) {
  std::string row = con_row_text(y);
  row.erase(row.find_last_not_of(' ') + 1);
  return row;
}

struct LineBuffer {
  char bytes[16] = {};
  explicit LineBuffer(int capacity) { bytes[0] = static_cast<char>(capacity); }
  std::string text() const { return std::string(bytes + 2); }
  int length() const { return static_cast<uint8_t>(bytes[1]); }
};

TEST(ConsoleKeys, PlainKeysComeBackAsTheirCodes) {
  con_reset_for_test({'y', 13, 27, 8, 200});
  EXPECT_EQ(con_getch(), 'y');
  EXPECT_EQ(con_getch(), 13);
  EXPECT_EQ(con_getch(), 27);
  EXPECT_EQ(con_getch(), 8);
  EXPECT_EQ(con_getch(), 200);
}

TEST(ConsoleKeys, ExtendedKeyGivesZeroThenItsScanCode) {
  con_reset_for_test({kExtendedKey | kScanF1, 'a'});
  EXPECT_EQ(con_getch(), 0);
  EXPECT_EQ(con_model().pending_scan, kScanF1);
  EXPECT_EQ(con_getch(), kScanF1);
  EXPECT_EQ(con_getch(), 'a');
}

TEST(ConsoleKeys, KbhitStaysTrueWhileTheScanCodeIsPending) {
  con_reset_for_test({kLeft});
  EXPECT_TRUE(con_kbhit());
  EXPECT_TRUE(con_kbhit());  // asking does not take the key
  EXPECT_EQ(con_getch(), 0);
  EXPECT_TRUE(con_kbhit());
  EXPECT_EQ(con_getch(), kScanLeft);
  EXPECT_FALSE(con_kbhit());
}

TEST(ConsoleKeys, KbhitAsksTheBackendWhenNoScanCodeIsPending) {
  con_reset_for_test();
  static bool waiting = false;
  static int reads = 0;
  ConsoleBackend b;
  b.key_waiting = [](void*) { return waiting; };
  b.read_key = [](void*) { ++reads; return kExtendedKey | kScanDown; };
  con_attach_backend(b);
  EXPECT_FALSE(con_kbhit());
  waiting = true;
  EXPECT_TRUE(con_kbhit());
  EXPECT_EQ(reads, 0);
  waiting = false;
  EXPECT_EQ(con_getch(), 0);
  EXPECT_TRUE(con_kbhit());  // the pending scan code, not the backend
  EXPECT_EQ(con_getch(), kScanDown);
  EXPECT_EQ(reads, 1);
}

TEST(ConsoleKeys, EndOfScriptThrowsInTestMode) {
  con_reset_for_test({'a'});
  EXPECT_EQ(con_getch(), 'a');
  EXPECT_FALSE(con_kbhit());
  EXPECT_THROW(con_getch(), ConsoleInputEnded);
  con_push_test_keys({'b'});
  EXPECT_EQ(con_getch(), 'b');
}

TEST(ConsoleKeys, EndOfInputCallsTheHandler) {
  con_reset_for_test();
  static int calls = 0;
  calls = 0;
  con_set_input_end_handler([] {
    ++calls;
    throw ConsoleInputEnded{};  // the program's handler exits; a test leaves by throwing
  });
  EXPECT_THROW(con_getch(), ConsoleInputEnded);
  EXPECT_EQ(calls, 1);
}

TEST(ConsoleKeys, ResetDropsAHandlerSetBefore) {
  con_set_input_end_handler([] {});
  con_reset_for_test();
  EXPECT_THROW(con_getch(), ConsoleInputEnded);
}

TEST(ConsoleKeys, BackendEndOfInputCallsTheHandler) {
  con_reset_for_test();
  ConsoleBackend b;
  b.read_key = [](void*) { return kKeyInputEnded; };
  con_attach_backend(b);
  static int calls = 0;
  calls = 0;
  // A handler that returns (it must not, but) leaves con_getch with -1
  // instead of looping.
  con_set_input_end_handler([] { ++calls; });
  EXPECT_EQ(con_getch(), -1);
  EXPECT_EQ(calls, 1);
}

TEST(ConsoleReadLine, SixthCharacterIsNeitherShownNorStored) {
  con_reset_for_test({'1', '2', '3', '4', '5', '6', 13});
  LineBuffer line(6);
  char* text = con_read_line(line.bytes);
  EXPECT_EQ(text, line.bytes + 2);
  EXPECT_EQ(line.text(), "12345");
  EXPECT_EQ(line.length(), 5);
  EXPECT_EQ(trimmed_row(1), "12345");
  EXPECT_EQ(con_where_x(), 6);
}

TEST(ConsoleReadLine, EnterAtOnceGivesAnEmptyText) {
  con_reset_for_test({13});
  LineBuffer line(6);
  std::memset(line.bytes + 1, 'z', sizeof line.bytes - 1);
  con_read_line(line.bytes);
  EXPECT_EQ(line.length(), 0);
  EXPECT_EQ(line.bytes[2], '\0');
  EXPECT_EQ(con_where_x(), 1);
}

TEST(ConsoleReadLine, BackspaceAndLeftArrowEraseTheLastCharacter) {
  con_reset_for_test({'3', '2', '0', 8, '5', kLeft, kLeft, '9', 13});
  con_printf("runs: ");
  LineBuffer line(6);
  con_read_line(line.bytes);
  EXPECT_EQ(line.text(), "39");
  EXPECT_EQ(trimmed_row(1), "runs: 39");
  EXPECT_EQ(con_where_x(), 9);
}

TEST(ConsoleReadLine, ErasingAnEmptyLineDoesNothing) {
  con_reset_for_test({8, kLeft, '7', 13});
  con_printf(">");
  LineBuffer line(6);
  con_read_line(line.bytes);
  EXPECT_EQ(line.text(), "7");
  EXPECT_EQ(trimmed_row(1), ">7");
}

TEST(ConsoleReadLine, OtherExtendedKeysAreIgnored) {
  con_reset_for_test({'1', kExtendedKey | kScanRight, kExtendedKey | kScanF10, '2', 13});
  LineBuffer line(6);
  con_read_line(line.bytes);
  EXPECT_EQ(line.text(), "12");
  EXPECT_EQ(trimmed_row(1), "12");
}

TEST(ConsoleReadLine, RoomFreedByBackspaceCanBeUsedAgain) {
  con_reset_for_test({'a', 'b', 'c', 'd', 8, 'e', 'f', 13});
  LineBuffer line(4);
  con_read_line(line.bytes);
  EXPECT_EQ(line.text(), "abe");
  EXPECT_EQ(line.length(), 3);
}

TEST(ConsoleReadLine, CapacityOneHoldsOnlyTheTerminator) {
  con_reset_for_test({'x', 13});
  LineBuffer line(1);
  con_read_line(line.bytes);
  EXPECT_EQ(line.length(), 0);
  EXPECT_EQ(line.bytes[2], '\0');
  EXPECT_EQ(trimmed_row(1), "");
}

TEST(ConsoleReadLine, CapacityZeroWritesNothingPastTheLengthByte) {
  con_reset_for_test({'x', 13});
  LineBuffer line(0);
  line.bytes[2] = '#';
  con_read_line(line.bytes);
  EXPECT_EQ(line.length(), 0);
  EXPECT_EQ(line.bytes[2], '#');
}

TEST(ConsoleReadLine, EndOfInputInsideTheLineEndsTheLineWhenTheHandlerReturns) {
  con_reset_for_test({'4', '2'});
  con_set_input_end_handler([] {});
  LineBuffer line(6);
  con_read_line(line.bytes);
  EXPECT_EQ(line.text(), "42");
}

}  // namespace
