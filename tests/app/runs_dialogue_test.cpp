#include "app/runs_dialogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/screen_rows.h"
#include "console/console.h"
#include "console/console_script.h"

namespace {


constexpr int kLeftArrow = kExtendedKey | kScanLeft;
const std::string kEntryLine = "enter number of runs -" + glyphs({kGlyphRightTriangle});

// The dialogue starts below the results screen's question on row 4.
void start(const std::vector<int>& keys) {
  con_reset_for_test(keys);
  con_set_attr(kColorWhite);
  con_goto(1, 4);
  con_printf("wish to perform Monte Carlo experiment? (y/n)");
}

// Runs the dialogue until the scripted keys run out, to look at the screen
// while it waits.
void run_until_keys_run_out() { EXPECT_THROW(ask_runs(), ConsoleInputEnded); }

TEST(RunsDialogue, YesTakesTheDefaultAfterIgnoringOtherKeys) {
  start({'q', kKeyEnter, 'Y'});
  EXPECT_EQ(ask_runs(), 3200);
  EXPECT_EQ(trimmed_row(5), "number of runs is 3200:");
  EXPECT_EQ(trimmed_row(6), "(Y)es or (N)ot  - select key");
  EXPECT_EQ(trimmed_row(7), std::string(29, glyph(kGlyphBoxHorizontal)));
  EXPECT_EQ(trimmed_row(8), "");
}

TEST(RunsDialogue, AnExtendedKeyWhoseScanCodeIsALetterIsNoAnswer) {
  // Alt+F7 sends the scan code 110, the code of 'n': it must not choose.
  start({kExtendedKey | 110, kExtendedKey | 121, 'y'});
  EXPECT_EQ(ask_runs(), 3200);
}

TEST(RunsDialogue, TypedNumbersUpToTheLimitWithAtMostFiveCharacters) {
  start({'N', '6', '5', '0', '0', '0', kKeyEnter});
  EXPECT_EQ(ask_runs(), 65000);
  EXPECT_EQ(trimmed_row(8), kEntryLine + " 65000");
  start({'n', '1', '2', '3', '4', '5', '6', kKeyEnter});
  EXPECT_EQ(ask_runs(), 12345);
  EXPECT_EQ(trimmed_row(8), kEntryLine + " 12345");
}

TEST(RunsDialogue, OverTheLimitShowsTheMessageAndClearsItOnceANumberIsAccepted) {
  start({'n', '6', '5', '0', '0', '1', kKeyEnter});
  run_until_keys_run_out();
  EXPECT_EQ(trimmed_row(8), kEntryLine);
  EXPECT_EQ(trimmed_row(9), "too long: maximal number is 65000, please, enter new");
  EXPECT_EQ(con_where_x(), 25);
  EXPECT_EQ(con_where_y(), 8);

  start({'n', '9', '9', '9', '9', '9', kKeyEnter, '5', '0', kKeyEnter});
  EXPECT_EQ(ask_runs(), 50);
  EXPECT_EQ(trimmed_row(8), kEntryLine + " 50");
  EXPECT_EQ(trimmed_row(9), "");
}

TEST(RunsDialogue, EntryWithoutANumberIsErasedSilently) {
  start({'n', 'a', 'b', kKeyEnter});
  run_until_keys_run_out();
  EXPECT_EQ(trimmed_row(8), kEntryLine);
  EXPECT_EQ(trimmed_row(9), "");

  start({'n', kKeyEnter, '4', '2', 'x', kKeyEnter});
  EXPECT_EQ(ask_runs(), 42);
  EXPECT_EQ(trimmed_row(8), kEntryLine + " 42x");
}

TEST(RunsDialogue, NegativeNumberIsErasedAndReadAgain) {
  start({'n', '-', '5', kKeyEnter});
  run_until_keys_run_out();
  EXPECT_EQ(trimmed_row(8), kEntryLine);
  EXPECT_EQ(trimmed_row(9), "");

  start({'n', '-', '5', kKeyEnter, '7', kKeyEnter});
  EXPECT_EQ(ask_runs(), 7);
}

TEST(RunsDialogue, BackspaceAndLeftArrowErase) {
  start({'n', '1', '9', kKeyBackspace, '2', kLeftArrow, '3', kKeyEnter});
  EXPECT_EQ(ask_runs(), 13);
  EXPECT_EQ(trimmed_row(8), kEntryLine + " 13");
}

TEST(ParseRunEntry, SpaceSignDigitsAndWhateverFollows) {
  EXPECT_EQ(parse_run_entry("  12"), 12);
  EXPECT_EQ(parse_run_entry("\t+17"), 17);
  EXPECT_EQ(parse_run_entry("-3"), -3);
  EXPECT_EQ(parse_run_entry("12ab"), 12);
  EXPECT_EQ(parse_run_entry("00009"), 9);
  EXPECT_EQ(parse_run_entry("99999999999"), INT32_MAX);
  for (const char* none : {"", "abc", "+", "- 5", " x1", "\xB0" "1"}) {
    EXPECT_FALSE(parse_run_entry(none)) << none;
  }
}

}  // namespace
