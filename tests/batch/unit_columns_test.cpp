#include "batch/unit_columns.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "batch/tsv_cells.h"

namespace {

UnitResult analysed(std::vector<std::pair<int32_t, int32_t>> counts, int32_t k,
                    const BatchOptions& options) {
  GenotypeUnit unit;
  unit.k = k;
  unit.table.allocate_zeroed(static_cast<size_t>(cell_count_for(k)));
  for (auto [pos, count] : counts) {
    unit.table[pos].count = count;
    unit.two_n += 2 * count;
  }
  return analyse_unit(std::move(unit), options, McHooks{});
}

TEST(TsvLine, NumbersRoundTripAndIgnoreTheLocale) {
  // What %.9g and %.17g give in the C locale...
  const float floats[] = {0.1f, 169.815521f, 0.0f, -2.5e-12f, 3.4e38f, 1e-45f, 16777217.0f};
  const double doubles[] = {0.1, 1e-300, 2.6619190577638241e-28, 1.0, -0.75, 123456789012.5};
  std::vector<std::string> expected;
  for (float f : floats) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(f));
    expected.push_back(text);
  }
  for (double d : doubles) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", d);
    expected.push_back(text);
  }
  // ... whatever the locale: one with a decimal comma, where installed.
  std::setlocale(LC_ALL, "de_DE.UTF-8");
  size_t i = 0;
  for (float f : floats) EXPECT_EQ(format_float(f), expected[i++]);
  for (double d : doubles) EXPECT_EQ(format_double(d), expected[i++]);
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(format_float(0.1f), "0.100000001");
  TsvLine line;
  add_text_cell(line, "a\tb\nc\\d\re");
  add_int_cell(line, -3);
  add_na_cell(line);
  add_cell(line, "");
  EXPECT_EQ(finish_line(line), "a\\tb\\nc\\\\d\\re\t-3\tNA\t\n");
}

TEST(ChiSquareTail, AgreesWithTheCriticalValues) {
  EXPECT_NEAR(chi_square_upper_tail(3.841458820694124, 1), 0.05, 1e-12);
  EXPECT_NEAR(chi_square_upper_tail(24.995790139728616, 15), 0.05, 1e-12);
  EXPECT_EQ(chi_square_upper_tail(0.0, 3), 1.0);
  EXPECT_TRUE(std::isnan(chi_square_upper_tail(1.0, 0)));
  EXPECT_TRUE(std::isnan(chi_square_upper_tail(INFINITY, 2)));
}

TEST(UnitColumns, EveryRowHasTheHeadersCellCount) {
  BatchOptions plain;
  BatchOptions runs;
  runs.runs = 50;
  runs.seed_given = true;
  runs.seed = 9;
  for (const BatchOptions& options : {plain, runs}) {
    const UnitResult r = analysed({{0, 3}, {1, 4}, {2, 5}}, 2, options);
    ASSERT_TRUE(r.ok) << r.reason;
    const std::vector<std::string> header = tsv_cells(count_file_header(options));
    const std::vector<std::string> row = tsv_cells(count_file_row("f", r, options));
    EXPECT_EQ(row.size(), header.size());
    EXPECT_EQ(header.size(), options.runs > 0 ? 22u : 12u);
    EXPECT_EQ(row[11], options.runs > 0 ? "9" : "");  // seed
    if (options.runs > 0) {
      EXPECT_EQ(row[12], "50");
    }
  }
}

TEST(UnitColumns, FailuresCarryTheScreensWords) {
  BatchOptions options;
  const UnitResult none = analysed({{0, 0}}, 2, options);
  EXPECT_FALSE(none.ok);
  EXPECT_EQ(none.reason, "possibly incorrect data in file");
  const UnitResult one = analysed({{0, 7}}, 2, options);
  EXPECT_EQ(one.reason, "only one allele class in file - nothing to test");
}

}  // namespace
