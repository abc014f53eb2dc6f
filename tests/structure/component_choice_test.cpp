#include "structure/component_choice.h"

#include <gtest/gtest.h>

#include <boost/math/distributions/chi_squared.hpp>
#include <cmath>
#include <vector>

namespace {

// n statistics spread exactly as lambda chi-square(1) (its quantiles at
// (i + 1/2) / n), the last `deviant` of them replaced by strong deviations.
std::vector<double> spread(size_t n, double lambda, size_t deviant) {
  static std::vector<double> quantiles[2];
  std::vector<double>& q = quantiles[n % 2];
  if (q.size() != n) {
    const boost::math::chi_squared_distribution<double> chi2(1);
    q.clear();
    for (size_t i = 0; i < n; ++i) q.push_back(boost::math::quantile(chi2, (i + 0.5) / n));
  }
  std::vector<double> v;
  for (double x : q) v.push_back(lambda * x);
  // Deviations drawn from anywhere in the null's range, put far out.
  for (size_t i = 0; i < deviant; ++i) v[(i * 7919) % n] = 40 + i % 13;
  return v;
}

TEST(ComponentChoice, MeasuresInflationPastAShareOfTrueDeviations) {
  for (double lambda : {0.8, 1.0, 1.7}) {
    // No deviations: the plain and the trimmed measure agree.
    EXPECT_NEAR(median_inflation(spread(20001, lambda, 0)), lambda, 1e-3 * lambda);
    EXPECT_NEAR(null_inflation(spread(20001, lambda, 0)), lambda, 3e-3 * lambda);
    // 5% deviations push the plain median up by some 12%; the trimmed one
    // stays within a fraction of the tolerance.
    const std::vector<double> v = spread(20000, lambda, 1000);
    EXPECT_GT(median_inflation(v), 1.1 * lambda);
    EXPECT_NEAR(null_inflation(v), lambda, 0.01 * lambda) << lambda;
  }
  EXPECT_TRUE(std::isnan(null_inflation({})));
  EXPECT_TRUE(std::isnan(median_inflation({})));
  EXPECT_EQ(median_inflation({1, 3}), 2 / kChiSquareMedian);
  EXPECT_EQ(null_inflation({0, 0, 0}), 0.0);
}

}  // namespace
