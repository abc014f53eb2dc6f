#include "html/svg_number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(SvgNumber, CoordinatesToATenthWithoutNeedlessCharacters) {
  EXPECT_EQ(coord(12.34), "12.3");
  EXPECT_EQ(coord(12.0), "12");
  EXPECT_EQ(coord(12.96), "13");
  EXPECT_EQ(coord(0.04), "0");
  EXPECT_EQ(coord(-0.04), "0");
  EXPECT_EQ(coord(-0.5), "-0.5");
  EXPECT_EQ(coord(-123.46), "-123.5");
  EXPECT_EQ(coord(1e6 + 0.25), "1000000.3");
  EXPECT_EQ(coord(std::nan("")), "0");
}

TEST(SvgNumber, FiguresToFourSignificantDigits) {
  EXPECT_EQ(figure(0.0123456), "0.01235");
  EXPECT_EQ(figure(1.23456e-8), "1.235e-08");
  EXPECT_EQ(figure(2), "2");
  EXPECT_EQ(figure(-0.1), "-0.1");
  EXPECT_EQ(figure(std::nan("")), "NA");
  EXPECT_EQ(figure(std::numeric_limits<double>::infinity()), "inf");
}

}  // namespace
