#include "app/closing_lines.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>

#include "console/console.h"
#include "console/console_script.h"
#include "runcount/run_files.h"

namespace {

std::string trimmed(const std::string& row) {
  return row.substr(0, row.find_last_not_of(' ') + 1);
}

class ClosingLines : public ::testing::Test {
 protected:
  RunTempDir dir;
  std::string program = dir.file("hwmc");

  void SetUp() override {
    con_reset_for_test();
    con_set_attr(kColorWhite);
  }
};

TEST_F(ClosingLines, ThankTheUserWithTheNewCount) {
  write_bytes(program, program_bytes(4000, 1000, marker_with("41")));
  show_closing_lines(program.c_str());

  EXPECT_EQ(trimmed(con_row_text(1)), "");
  const std::string thanks = "Thanks for running hwmc 42 times!";
  EXPECT_EQ(trimmed(con_row_text(2)), thanks);
  for (int x = 1; x <= static_cast<int>(thanks.size()); ++x) EXPECT_EQ(con_cell(x, 2).attr, kAttrBlackOnGray);
  // The rest of the thanks line is cleared in the attribute the screen had.
  EXPECT_EQ(con_cell(static_cast<int>(thanks.size()) + 1, 2).attr, kColorWhite);
  EXPECT_EQ(con_cell(80, 2).attr, kColorWhite);
  // The marker text was printed on the next line and erased at once.
  EXPECT_EQ(trimmed(con_row_text(3)), "");
  EXPECT_EQ(con_cell(1, 3).attr, kColorWhite);
  EXPECT_EQ(con_model().cursor_x, 1);
  EXPECT_EQ(con_model().cursor_y, 3);
  EXPECT_EQ(con_model().attribute, kColorWhite);
}

TEST_F(ClosingLines, EveryTenthCountHintsAtTheReadOnlyMark) {
  write_bytes(program, program_bytes(1500, 300, marker_with("9")));
  show_closing_lines(program.c_str());
  const std::string line =
      "Thanks for running hwmc 10 times! (set \"read-only\" to supress counting)";
  EXPECT_EQ(trimmed(con_row_text(2)), line);
  EXPECT_EQ(con_cell(static_cast<int>(line.size()), 2).attr, kAttrBlackOnGray);
  EXPECT_EQ(con_cell(static_cast<int>(line.size()) + 1, 2).attr, kColorWhite);

  con_reset_for_test();
  show_closing_lines(program.c_str());
  EXPECT_EQ(trimmed(con_row_text(2)), "Thanks for running hwmc 11 times!");
}

TEST_F(ClosingLines, WithoutCountingOnlyTheEmptyClosingLineIsLeft) {
  write_bytes(program, program_bytes(2000, 100, marker_with("41")));
  ASSERT_EQ(chmod(program.c_str(), 0444), 0);
  con_goto(20, 10);
  con_printf("last screen");
  show_closing_lines(program.c_str());

  EXPECT_EQ(trimmed(con_row_text(10)), std::string(19, ' ') + "last screen");
  EXPECT_EQ(trimmed(con_row_text(11)), "");
  EXPECT_EQ(con_model().cursor_x, 1);
  EXPECT_EQ(con_model().cursor_y, 11);
  for (int y = 1; y <= kScreenHeight; ++y) {
    EXPECT_EQ(con_row_text(y).find("Thanks"), std::string::npos);
    EXPECT_EQ(con_row_text(y).find("000000000"), std::string::npos);
  }
}

TEST_F(ClosingLines, ThePrintedMarkerIsErasedEvenOnTheLastRow) {
  con_goto(5, 25);
  show_closing_lines(dir.file("missing").c_str());
  EXPECT_EQ(trimmed(con_row_text(25)), "");
  EXPECT_EQ(con_model().cursor_y, 25);
  EXPECT_EQ(con_model().cursor_x, 1);
}

}  // namespace
