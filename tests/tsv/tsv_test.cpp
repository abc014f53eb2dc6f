#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "fileio/text_escape.h"
#include "tsv/tsv_line.h"
#include "tsv/tsv_read.h"

namespace {

TEST(TsvLine, NumbersAreTheShortestThatReadBackInTheirType) {
  // float32 figures as float32, doubles as doubles.
  EXPECT_EQ(format_float(7.815f), "7.815");
  EXPECT_EQ(format_float(169.815521f), "169.81552");
  EXPECT_EQ(format_double(0.011057), "0.011057");
  EXPECT_EQ(format_double(2.6619190577638241e-28), "2.661919057763824e-28");
  TsvLine line;
  add_text_cell(line, "a\tb\nc\\d\re");
  add_int_cell(line, -3);
  add_na_cell(line);
  add_float_cell(line, 0.1f);
  add_double_cell(line, 0.1);
  add_double_or_na_cell(line, std::nan(""));
  add_cell(line, "");
  EXPECT_EQ(finish_line(line), "a\\tb\\nc\\\\d\\re\t-3\tNA\t0.1\t0.1\tNA\t\n");
}

TEST(TsvRead, CellsComeBackAsTheLineWroteThem) {
  TsvLine line;
  const std::vector<std::string> texts = {"a\tb", "", "caf\xc3\xa9 \\x41\x01", "\xff"};
  for (const std::string& text : texts) add_text_cell(line, text);
  add_cell(line, "");
  std::string written = finish_line(line);
  written.pop_back();
  const std::vector<std::string_view> cells = split_cells(written);
  ASSERT_EQ(cells.size(), 5u);
  ASSERT_EQ(count_cells(written), 5u);
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(unescape_text(cells[i]), texts[i]) << i;
    EXPECT_EQ(cell_at(written, i), cells[i]) << i;
  }
  EXPECT_EQ(cells[4], "");
  EXPECT_EQ(split_cells(""), (std::vector<std::string_view>{""}));
  const auto [start, end] = cell_span("ab\tcde\tf", 1);
  EXPECT_EQ(start, 3u);
  EXPECT_EQ(end, 6u);
  EXPECT_EQ(find_column(cells, "\\xFF"), 3u);
  EXPECT_FALSE(find_column(cells, "zz"));
}

TEST(TsvRead, NumbersAreWholeCellsAndNaHasNoValue) {
  EXPECT_EQ(number_cell("0.25"), 0.25);
  EXPECT_EQ(number_cell("1e-05"), 1e-05);
  EXPECT_FALSE(number_cell("0.25 "));
  EXPECT_FALSE(number_cell(""));
  EXPECT_FALSE(number_cell("NA"));
  EXPECT_TRUE(std::isnan(*figure_cell("NA")));
  EXPECT_FALSE(figure_cell("na"));
  EXPECT_EQ(integer_cell("-12"), -12);
  EXPECT_FALSE(integer_cell("12.0"));
  EXPECT_FALSE(integer_cell("99999999999999999999"));
}

}  // namespace
