#include "stats/chi_square.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

TEST(ChiSquareTail, AgreesWithTheCriticalValues) {
  EXPECT_NEAR(chi_square_upper_tail(3.841458820694124, 1), 0.05, 1e-12);
  EXPECT_NEAR(chi_square_upper_tail(24.995790139728616, 15), 0.05, 1e-12);
  EXPECT_EQ(chi_square_upper_tail(0.0, 3), 1.0);
  EXPECT_TRUE(std::isnan(chi_square_upper_tail(1.0, 0)));
  EXPECT_TRUE(std::isnan(chi_square_upper_tail(INFINITY, 2)));
}

}  // namespace

namespace {

std::string fixed3(long double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", static_cast<double>(static_cast<float>(v)));
  return text;
}

TEST(Chi2Crit05, TableValues) {
  EXPECT_EQ(static_cast<float>(chi2_crit_05(1)), 3.841f);
  EXPECT_EQ(static_cast<float>(chi2_crit_05(15)), 24.996f);
  EXPECT_EQ(static_cast<float>(chi2_crit_05(91)), 114.270f);
  EXPECT_EQ(static_cast<float>(chi2_crit_05(100)), 124.340f);
  EXPECT_EQ(fixed3(chi2_crit_05(1)), "3.841");
  EXPECT_EQ(fixed3(chi2_crit_05(15)), "24.996");
  EXPECT_EQ(fixed3(chi2_crit_05(80)), "101.880");
  EXPECT_EQ(fixed3(chi2_crit_05(100)), "124.340");
}

TEST(Chi2Crit05, TableRisesThroughout) {
  for (int df = 2; df <= 100; ++df) EXPECT_GT(chi2_table_05[df - 1], chi2_table_05[df - 2]) << df;
}

TEST(Chi2Crit05, FisherApproximationAbove100) {
  EXPECT_EQ(static_cast<float>(chi2_crit_05(101)), 0x1.f4621cp+6f);  // 125.09581
  EXPECT_EQ(static_cast<float>(chi2_crit_05(105)), 0x1.031ba6p+7f);
  EXPECT_EQ(static_cast<float>(chi2_crit_05(8128)), 0x1.048f7ep+13f);
  EXPECT_EQ(fixed3(chi2_crit_05(101)), "125.096");
  EXPECT_EQ(fixed3(chi2_crit_05(105)), "129.554");
  EXPECT_EQ(fixed3(chi2_crit_05(8128)), "8337.937");
}

TEST(Chi2Crit05, NoValueWithoutDegreesOfFreedom) {
  EXPECT_TRUE(std::isnan(chi2_crit_05(0)));
  EXPECT_TRUE(std::isnan(chi2_crit_05(-3)));
}

}  // namespace
