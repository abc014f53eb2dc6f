#include "stats/chi_square_tail.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(ChiSquareTail, AgreesWithTheCriticalValues) {
  EXPECT_NEAR(chi_square_upper_tail(3.841458820694124, 1), 0.05, 1e-12);
  EXPECT_NEAR(chi_square_upper_tail(24.995790139728616, 15), 0.05, 1e-12);
  EXPECT_EQ(chi_square_upper_tail(0.0, 3), 1.0);
  EXPECT_TRUE(std::isnan(chi_square_upper_tail(1.0, 0)));
  EXPECT_TRUE(std::isnan(chi_square_upper_tail(INFINITY, 2)));
}

}  // namespace
