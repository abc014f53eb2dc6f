#include "stats/proportion_limits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

std::string g(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%-g", v);
  return text;
}

TEST(ProbCi95, ZeroHitsGivesEqualBounds) {
  double lower = -1.0, upper = -1.0;
  prob_ci_95(0.0, &lower, &upper, 3200.0);
  EXPECT_EQ(lower, upper);
  EXPECT_EQ(g(upper), "0.000300095");
}

TEST(ProbCi95, AllHitsStaysBelowOne) {
  double lower = -1.0, upper = -1.0;
  prob_ci_95(1.0, &lower, &upper, 3200.0);
  EXPECT_EQ(lower, upper);
  EXPECT_LT(upper, 1.0);
  EXPECT_EQ(g(upper), "0.9997");
}

TEST(ProbCi95, HalfIsSymmetric) {
  double lower = -1.0, upper = -1.0;
  prob_ci_95(0.5, &lower, &upper, 3200.0);
  EXPECT_EQ(g(lower), "0.482679");
  EXPECT_EQ(g(upper), "0.517321");
  EXPECT_NEAR(lower + upper, 1.0, 1e-15);
}

// Every probability a run can produce with at least one hit lies strictly
// inside its interval, and the interval inside 0..1.
TEST(ProbCi95, ContainsEveryObservableProbability) {
  for (unsigned runs : {1u, 2u, 3u, 10u, 99u, 3200u, 65000u}) {
    for (unsigned hits = 1; hits < runs; hits += (runs > 200 ? runs / 97 : 1)) {
      const float p = static_cast<float>(hits) / static_cast<float>(runs);
      double lower = 0.0, upper = 0.0;
      prob_ci_95(static_cast<double>(p), &lower, &upper, static_cast<double>(runs));
      EXPECT_GT(lower, 0.0) << hits << "/" << runs;
      EXPECT_LT(lower, p) << hits << "/" << runs;
      EXPECT_GT(upper, p) << hits << "/" << runs;
      EXPECT_LT(upper, 1.0) << hits << "/" << runs;
    }
  }
}

}  // namespace
