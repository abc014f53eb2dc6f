#include "stats/multiple_testing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

const double kNa = std::nan("");

TEST(BenjaminiHochberg, StepUpTakesTheMinimumFromTheLargest) {
  // Sorted 0.005 0.01 0.03 0.04: m/j p = 0.02 0.02 0.04 0.04.
  const std::vector<double> q =
      adjust_benjamini_hochberg(std::vector<double>{0.01, 0.04, 0.03, 0.005});
  ASSERT_EQ(q.size(), 4u);
  EXPECT_DOUBLE_EQ(q[0], 0.02);
  EXPECT_DOUBLE_EQ(q[1], 0.04);
  EXPECT_DOUBLE_EQ(q[2], 0.04);
  EXPECT_DOUBLE_EQ(q[3], 0.02);
  // A small p-value late in the order pulls the earlier ones down:
  // 0.8 alone would give 2 * 0.8 = 1.6, the larger 0.9 gives 0.9.
  const std::vector<double> big = adjust_benjamini_hochberg(std::vector<double>{0.9, 0.8});
  EXPECT_DOUBLE_EQ(big[0], 0.9);
  EXPECT_DOUBLE_EQ(big[1], 0.9);
}

TEST(BenjaminiHochberg, TiesShareTheirValueAndNaStaysOutOfM) {
  // m = 4 without the NA; sorted 0.01 0.02 0.02 0.5: m/j p = 0.04 0.04
  // 0.02667 0.5, so the first three all become 4/3 * 0.02.
  const std::vector<double> q =
      adjust_benjamini_hochberg(std::vector<double>{0.02, kNa, 0.02, 0.5, 0.01});
  ASSERT_EQ(q.size(), 5u);
  const double tie = 4.0 / 3.0 * 0.02;
  EXPECT_DOUBLE_EQ(q[0], tie);
  EXPECT_TRUE(std::isnan(q[1]));
  EXPECT_DOUBLE_EQ(q[2], tie);
  EXPECT_DOUBLE_EQ(q[3], 0.5);
  EXPECT_DOUBLE_EQ(q[4], tie);
}

TEST(BenjaminiHochberg, EdgeCases) {
  EXPECT_TRUE(adjust_benjamini_hochberg(std::vector<double>{}).empty());
  const std::vector<double> all_na = adjust_benjamini_hochberg(std::vector<double>{kNa, kNa});
  EXPECT_TRUE(std::isnan(all_na[0]) && std::isnan(all_na[1]));
  EXPECT_DOUBLE_EQ(adjust_benjamini_hochberg(std::vector<double>{kNa, 0.3})[1], 0.3);
  // p = 0 stays 0; a value that would exceed 1 is capped.
  const std::vector<double> q = adjust_benjamini_hochberg(std::vector<double>{0.0, 1.0, 1.0});
  EXPECT_EQ(q[0], 0.0);
  EXPECT_EQ(q[1], 1.0);
  const std::vector<double> capped = adjust_benjamini_hochberg(std::vector<double>{1.5, 0.6, 0.6});
  EXPECT_EQ(capped[0], 1.0);
  EXPECT_DOUBLE_EQ(capped[1], 0.9);
}

}  // namespace
