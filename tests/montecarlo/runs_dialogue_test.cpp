#include "montecarlo/runs_dialogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/console.h"

namespace {

constexpr int kBackspace = 8;
constexpr int kEnter = 13;
constexpr int kLeftArrow = kExtendedKey | kScanLeft;

std::string trimmed_row(int y) {
  std::string row = con_row_text(y);
  row.erase(row.find_last_not_of(' ') + 1);
  return row;
}

// The dialogue starts below the results screen's question on row 4.
class RunsDialogue : public ::testing::Test {
 protected:
  void start(const std::vector<int>& keys) {
    con_reset_for_test(keys);
    con_set_attr(15);
    con_goto(1, 4);
    con_printf("wish to perform Monte Carlo experiment? (y/n)");
  }
  // The dialogue stops where the scripted keys run out.
  void run_out_of_keys() { EXPECT_THROW(ask_runs(), ConsoleInputEnded); }
};

TEST_F(RunsDialogue, YesTakesTheDefaultAfterIgnoringOtherKeys) {
  start({'q', kEnter, 'Y'});
  EXPECT_EQ(ask_runs(), 3200);
  EXPECT_EQ(trimmed_row(5), "number of runs is 3200:");
  EXPECT_EQ(trimmed_row(6), "(Y)es or (N)ot  - select key");
  EXPECT_EQ(trimmed_row(7), std::string(29, '\xC4'));
  EXPECT_EQ(trimmed_row(8), "");
}

TEST_F(RunsDialogue, TypedNumber) {
  start({'N', '1', '2', '3', kEnter});
  EXPECT_EQ(ask_runs(), 123);
  EXPECT_EQ(trimmed_row(8), "enter number of runs -\x10 123");
}

TEST_F(RunsDialogue, LimitIsAccepted) {
  start({'n', '6', '5', '0', '0', '0', kEnter});
  EXPECT_EQ(ask_runs(), 65000);
}

TEST_F(RunsDialogue, SixthCharacterIsRefused) {
  start({'n', '1', '2', '3', '4', '5', '6', kEnter});
  EXPECT_EQ(ask_runs(), 12345);
  EXPECT_EQ(trimmed_row(8), "enter number of runs -\x10 12345");
}

TEST_F(RunsDialogue, OverTheLimitShowsTheMessageAndErasesTheEntry) {
  start({'n', '6', '5', '0', '0', '1', kEnter});
  run_out_of_keys();
  EXPECT_EQ(trimmed_row(8), "enter number of runs -\x10");
  EXPECT_EQ(trimmed_row(9), "too long: maximal number is 65000, please, enter new");
  EXPECT_EQ(con_where_x(), 25);
  EXPECT_EQ(con_where_y(), 8);
}

TEST_F(RunsDialogue, MessageRowIsClearedOnceANumberIsAccepted) {
  start({'n', '9', '9', '9', '9', '9', kEnter, '5', '0', kEnter});
  EXPECT_EQ(ask_runs(), 50);
  EXPECT_EQ(trimmed_row(8), "enter number of runs -\x10 50");
  EXPECT_EQ(trimmed_row(9), "");
}

TEST_F(RunsDialogue, EntryWithoutANumberIsErasedSilently) {
  start({'n', 'a', 'b', kEnter});
  run_out_of_keys();
  EXPECT_EQ(trimmed_row(8), "enter number of runs -\x10");
  EXPECT_EQ(trimmed_row(9), "");
}

TEST_F(RunsDialogue, EmptyEntryIsReadAgain) {
  start({'n', kEnter, '4', '2', 'x', kEnter});
  EXPECT_EQ(ask_runs(), 42);
  EXPECT_EQ(trimmed_row(8), "enter number of runs -\x10 42x");
}

TEST_F(RunsDialogue, NegativeNumberIsErasedAndReadAgain) {
  start({'n', '-', '5', kEnter});
  run_out_of_keys();
  EXPECT_EQ(trimmed_row(8), "enter number of runs -\x10");
  start({'n', '-', '5', kEnter, '7', kEnter});
  EXPECT_EQ(ask_runs(), 7);
  EXPECT_EQ(trimmed_row(8), "enter number of runs -\x10 7");
}

TEST_F(RunsDialogue, BackspaceAndLeftArrowErase) {
  start({'n', '1', '9', kBackspace, '2', kLeftArrow, '3', kEnter});
  EXPECT_EQ(ask_runs(), 13);
  EXPECT_EQ(trimmed_row(8), "enter number of runs -\x10 13");
}

TEST(ParseRunEntry, DecimalNumberWithSpaceAndSign) {
  EXPECT_EQ(parse_run_entry("3200"), 3200);
  EXPECT_EQ(parse_run_entry("  12"), 12);
  EXPECT_EQ(parse_run_entry("\t+17"), 17);
  EXPECT_EQ(parse_run_entry("-3"), -3);
  EXPECT_EQ(parse_run_entry("12ab"), 12);
  EXPECT_EQ(parse_run_entry("0"), 0);
  EXPECT_EQ(parse_run_entry("00009"), 9);
  EXPECT_EQ(parse_run_entry("99999999999"), INT32_MAX);
}

TEST(ParseRunEntry, NoNumber) {
  EXPECT_FALSE(parse_run_entry(""));
  EXPECT_FALSE(parse_run_entry("abc"));
  EXPECT_FALSE(parse_run_entry("+"));
  EXPECT_FALSE(parse_run_entry("- 5"));
  EXPECT_FALSE(parse_run_entry(" x1"));
  EXPECT_FALSE(parse_run_entry("\xB0" "1"));
}

}  // namespace
