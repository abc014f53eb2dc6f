#include "html/qq_band.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(QqBand, TheExtremeOrderStatisticsHaveClosedForms) {
  // The smallest of n uniforms: P(U(1) <= x) = 1 - (1 - x)^n; the largest: x^n.
  for (int64_t n : {1, 2, 10, 1000, 28501}) {
    const double nn = static_cast<double>(n);
    const BandPoint first = band_at(1, n);
    EXPECT_NEAR(first.expected, -std::log10(1 / (nn + 1)), 1e-12);
    EXPECT_NEAR(first.low, -std::log10(1 - std::pow(0.025, 1 / nn)), 1e-9) << n;
    EXPECT_NEAR(first.high, -std::log10(1 - std::pow(0.975, 1 / nn)), 1e-9) << n;
    const BandPoint last = band_at(n, n);
    EXPECT_NEAR(last.low, -std::log10(std::pow(0.975, 1 / nn)), 1e-9) << n;
    EXPECT_NEAR(last.high, -std::log10(std::pow(0.025, 1 / nn)), 1e-9) << n;
  }
}

TEST(QqBand, TheBandHoldsItsExpectationAndRunsFromRankNToRankOne) {
  const int64_t n = 28501;
  const auto band = qq_band(n, 60);
  ASSERT_GE(band.size(), 40u);
  EXPECT_NEAR(band.front().expected, -std::log10(n / (n + 1.0)), 1e-12);
  EXPECT_NEAR(band.back().expected, -std::log10(1 / (n + 1.0)), 1e-12);
  for (size_t i = 0; i < band.size(); ++i) {
    EXPECT_LT(band[i].low, band[i].expected);
    EXPECT_GT(band[i].high, band[i].expected);
    if (i > 0) {
      EXPECT_GT(band[i].expected, band[i - 1].expected);
    }
  }
  EXPECT_TRUE(qq_band(0, 60).empty());
  EXPECT_EQ(qq_band(1, 60).size(), 1u);
}

}  // namespace
