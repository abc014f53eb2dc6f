#include "montecarlo/replicate_hits.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

namespace {

int64_t extended_chi_square(float x) {
  return static_cast<int64_t>(static_cast<long double>(x) * 100000.0f + 0.5f);
}
int64_t extended_d(float x) {
  return static_cast<int64_t>(static_cast<long double>(x) * 100000.0f + (x > 0 ? 0.5f : -0.5f));
}

TEST(ScaledValue, RoundingOfChiSquareHalfUpAndOfDHalfAwayFromZero) {
  // 1/64 * 100000 is exactly 1562.5.
  EXPECT_EQ(scale_chi_square(0.015625f), 1563);
  EXPECT_EQ(scale_chi_square(0.0f), 0);
  EXPECT_EQ(scale_d(0.015625f), 1563);
  EXPECT_EQ(scale_d(-0.015625f), -1563);
  EXPECT_EQ(scale_d(-0.0f), 0);
  EXPECT_EQ(scale_d(4e-6f), 0);
  EXPECT_EQ(scale_d(-4e-6f), 0);
  EXPECT_EQ(scale_d(0.0857551f), 8576);
}

TEST(ScaledValue, SixtyFourBitsBeyondThe32BitRange) {
  // 42949.67296 * 100000 is 2^32; |D| * 100000 + 0.5 must stay below 2^31.
  EXPECT_EQ(scale_chi_square(50000.0f), 5000000000);
  EXPECT_EQ(scale_d(30000.0f), 3000000000);
  EXPECT_EQ(scale_d(-30000.0f), -3000000000);
  EXPECT_EQ(scale_chi_square(1e12f), extended_chi_square(1e12f));
  EXPECT_EQ(scale_chi_square(std::numeric_limits<float>::infinity()), INT64_MAX);
  EXPECT_EQ(scale_d(-std::numeric_limits<float>::infinity()), INT64_MIN);
  EXPECT_EQ(scale_d(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(ScaledValue, DoubleEvaluationEqualsExtendedAndThe32BitForms) {
  std::mt19937 gen(42);
  std::uniform_int_distribution<uint32_t> bits(0, std::bit_cast<uint32_t>(9.0e13f));
  for (int n = 0; n < 2000000; ++n) {
    const float x = std::bit_cast<float>(bits(gen));
    ASSERT_EQ(scale_chi_square(x), extended_chi_square(x)) << x;
    ASSERT_EQ(scale_d(x), extended_d(x)) << x;
    ASSERT_EQ(scale_d(-x), extended_d(-x)) << x;
    if (x < 21474.8f) {
      ASSERT_EQ(scale_chi_square(x),
                static_cast<uint32_t>(static_cast<long double>(x) * 100000.0f + 0.5f));
      ASSERT_EQ(scale_d(-x), static_cast<int32_t>(static_cast<long double>(-x) * 100000.0f - 0.5f));
    }
  }
  for (float x = 3.9e10f; x < 4.1e10f; x = std::nextafter(x, 1e11f)) {
    ASSERT_EQ(scale_chi_square(x), extended_chi_square(x)) << x;
  }
}

HitCounts count(const ObservedScaled& obs, double x2_sim, float d_sim) {
  HitCounts h;
  count_replicate_hits(obs, ReplicateScores{x2_sim, d_sim}, h);
  return h;
}

TEST(ReplicateHits, ChiSquareCountsFromTheObservedValueLessTheTieMargin) {
  const double x2 = 169.8155213;
  const ObservedScaled obs = scale_observed(x2, 0.1f);
  EXPECT_EQ(count(obs, x2, 0).hw, 1u);
  EXPECT_EQ(count(obs, x2 * (1 - 0.9e-7), 0).hw, 1u);  // a tie
  EXPECT_EQ(count(obs, x2 * (1 - 1.1e-7), 0).hw, 0u);
  // Values once alike at five decimals are no longer ties.
  const ObservedScaled small = scale_observed(1.23456, 0.1f);
  EXPECT_EQ(count(small, 1.234555, 0).hw, 0u);
}

TEST(ReplicateHits, OneTailFollowsTheSignOfTheObservedD) {
  const ObservedScaled positive = scale_observed(1, 0.25f);
  EXPECT_EQ(count(positive, 0, 0.25f).d_one, 1u);
  EXPECT_EQ(count(positive, 0, 0.2f).d_one, 0u);
  EXPECT_EQ(count(positive, 0, -0.3f).d_one, 0u);
  EXPECT_EQ(count(positive, 0, -0.3f).d_both, 1u);
  EXPECT_EQ(count(positive, 0, -0.2f).d_both, 0u);

  const ObservedScaled negative = scale_observed(1, -0.25f);
  EXPECT_EQ(count(negative, 0, -0.25f).d_one, 1u);
  EXPECT_EQ(count(negative, 0, -0.2f).d_one, 0u);
  EXPECT_EQ(count(negative, 0, 0.3f).d_one, 0u);
  EXPECT_EQ(count(negative, 0, 0.3f).d_both, 1u);
}

TEST(ReplicateHits, ObservedDThatRoundsToZeroCountsEveryReplicate) {
  const ObservedScaled tiny = scale_observed(0, 4.9e-6f);
  ASSERT_EQ(tiny.d, 0);
  for (const float d : {-1.0f, -1e-6f, 0.0f, 1.0f}) {
    const HitCounts h = count(tiny, 0, d);
    EXPECT_EQ(h.d_one, 1u) << d;
    EXPECT_EQ(h.d_both, 1u) << d;
    EXPECT_EQ(h.hw, 1u) << d;  // an observed X2 of 0 is always reached
  }
}

TEST(ReplicateHits, LargeDComparesWithoutWrapping) {
  // |D| above 21474.8: a 32-bit scaled value would have wrapped negative.
  const ObservedScaled obs = scale_observed(1, 25000.0f);
  EXPECT_EQ(count(obs, 0, 30000.0f).d_one, 1u);
  EXPECT_EQ(count(obs, 0, 1.0f).d_one, 0u);
  EXPECT_EQ(count(obs, 0, -30000.0f).d_both, 1u);
  EXPECT_EQ(count(obs, 0, -1.0f).d_both, 0u);
}

}  // namespace
