#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "report/report_text.h"

namespace {

std::string row_no_mc(char a, char b, int32_t count, float expected, float x2) {
  return format_table_row(a, b, count, expected, x2, nullptr);
}

}  // namespace

TEST(TableRow, FieldsStandAtTheirOffsetsAndTheRowEndsAfterTheLast) {
  const std::string row = row_no_mc('a', 'd', 16, 5.7736f, 18.1135f);
  EXPECT_EQ(row, "  ad        16           5.7736          18.1135");
  EXPECT_EQ(row.substr(2, 2), "ad");
  EXPECT_EQ(row.substr(12, 2), "16");
  EXPECT_EQ(row.substr(25, 6), "5.7736");
  EXPECT_EQ(row.substr(41), "18.1135");

  const double p = 7.0 / 100.0;
  const std::string mc = format_table_row('a', 'd', 16, 5.7736f, 18.1135f, &p);
  EXPECT_EQ(mc, "  ad        16           5.7736          18.1135         0.0700");
  EXPECT_EQ(mc.substr(57), "0.0700");
}

TEST(TableRow, NoTrailingBlanksEvenWhenTheLastFieldIsShorterThanAnEarlierOne) {
  // The expected count runs far past the X2 offset; the short X2 text ends
  // the row, cutting off the rest of the long field.
  const std::string row = row_no_mc('x', 'y', 3, 123456789012.0f, 1.0f);
  EXPECT_EQ(row.size(), 41u + 6u);
  EXPECT_EQ(row.substr(25, 16), "123456790528.000");
  EXPECT_EQ(row.substr(41), "1.0000");
  EXPECT_NE(row.back(), ' ');
}

TEST(TableRow, ALongFieldIsOverwrittenFromTheNextOffsetOn) {
  // "%.4f" of 1e11 takes 17 characters from offset 25, i.e. up to 41.
  const std::string row = row_no_mc('a', 'b', 1, 1.0e11f, 2.5f);
  EXPECT_EQ(row.substr(25, 16), "99999997952.0000");
  EXPECT_EQ(row.substr(41), "2.5000");

  // The same field followed by a Monte Carlo probability: the X2 field is
  // overwritten at 57 in its turn.
  const double p = 1.0;
  const std::string mc = format_table_row('a', 'b', 1, 1.0f, 3.0e16f, &p);
  EXPECT_EQ(mc.substr(41, 16), "3000000081769267");
  EXPECT_EQ(mc.substr(57), "1.0000");
}

TEST(TableRow, ExtremeValuesStayInsideTheRowBuffer) {
  const std::string smallest = row_no_mc('a', 'a', INT_MIN, 1.0f, 1.0f);
  EXPECT_EQ(smallest.substr(12, 11), "-2147483648");

  // The widest float texts: 39 digits plus decimals from offsets 25 and 41.
  const std::string widest = row_no_mc('a', 'a', INT_MAX, 3.4e38f, 3.4e38f);
  EXPECT_EQ(widest.size(), 41u + 44u);
  EXPECT_LT(widest.size(), kReportRowBuffer);

  const double huge = 4294967295.0;
  const std::string mc = format_table_row('a', 'a', INT_MAX, 3.4e38f, 3.4e38f, &huge);
  EXPECT_EQ(mc.substr(57), "4294967295.0000");
}

TEST(TableHeader, Is219CharactersWithTheTitleAtFixedColumns) {
  const std::string with_mc = format_table_header(true);
  ASSERT_EQ(with_mc.size(), kReportHeaderLength);
  const std::string dashes(72, '-');
  EXPECT_EQ(with_mc, "\n\n" + dashes + "\n" +
                         " gntp |     obs     |    exp      |      X2     |  M-Carlo Probability\n" +
                         dashes + "\n");
  const std::string title = with_mc.substr(75, 70);
  EXPECT_EQ(title[6], '|');
  EXPECT_EQ(title[20], '|');
  EXPECT_EQ(title[34], '|');
  EXPECT_EQ(title[48], '|');
  EXPECT_EQ(title.substr(51), "M-Carlo Probability");
}

TEST(TableHeader, WithoutMonteCarloTheTitleKeepsItsLengthInBlanks) {
  const std::string plain = format_table_header(false);
  ASSERT_EQ(plain.size(), kReportHeaderLength);
  EXPECT_EQ(plain.substr(75, 71),
            " gntp |     obs     |    exp      |      X2     |" + std::string(21, ' ') + "\n");
  EXPECT_EQ(plain.find("M-Carlo"), std::string::npos);
}
