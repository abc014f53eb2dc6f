#include "summary/fisher_method.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>

namespace {

// With 2k degrees of freedom the chi-square tail has a closed form: with
// P the product of the p-values, P * sum_{j<k} (-ln P)^j / j!.
double closed_form_p(std::initializer_list<double> ps) {
  long double product = 1;
  for (double p : ps) product *= p;
  const long double y = -std::log(product);
  long double term = 1;
  long double sum = 0;
  for (size_t j = 0; j < ps.size(); ++j) {
    sum += term;
    term *= y / static_cast<long double>(j + 1);
  }
  return static_cast<double>(product * sum);
}

FisherSums sums_of(std::initializer_list<double> ps) {
  FisherSums s;
  for (double p : ps) add_fisher_p(s, p);
  return s;
}

TEST(FisherMethod, AgreesWithTheClosedFormForEvenDegreesOfFreedom) {
  for (auto ps :
       {std::initializer_list<double>{0.01, 0.2, 0.5}, std::initializer_list<double>{0.9, 0.75},
        std::initializer_list<double>{1e-30, 0.4, 0.6, 0.05, 0.33}}) {
    const FisherCombination c = combine_fisher(sums_of(ps));
    long double log_product = 0;
    for (double p : ps) log_product += std::log(static_cast<long double>(p));
    EXPECT_EQ(c.df, 2 * static_cast<int64_t>(ps.size()));
    EXPECT_NEAR(c.x2, static_cast<double>(-2 * log_product), 1e-13 * c.x2);
    const double expected = closed_form_p(ps);
    EXPECT_NEAR(c.p, expected, 1e-12 * expected);
  }
  // One p-value combines to itself.
  EXPECT_NEAR(combine_fisher(sums_of({0.037})).p, 0.037, 1e-15);
}

TEST(FisherMethod, EdgesZeroOneAndMissing) {
  // A p that underflowed to 0: the statistic is infinite, the p 0.
  const FisherCombination zero = combine_fisher(sums_of({0.3, 0.0, 0.8}));
  EXPECT_TRUE(std::isinf(zero.x2) && zero.x2 > 0);
  EXPECT_EQ(zero.p, 0.0);
  EXPECT_EQ(zero.df, 6);
  // All p equal to 1: the statistic is +0 (no "-0" in a table), p 1.
  const FisherCombination ones = combine_fisher(sums_of({1.0, 1.0}));
  EXPECT_EQ(ones.x2, 0.0);
  EXPECT_FALSE(std::signbit(ones.x2));
  EXPECT_EQ(ones.p, 1.0);
  // NaN is no p-value: it neither counts nor moves the sum.
  const FisherSums with_nan = sums_of({0.2, std::numeric_limits<double>::quiet_NaN(), 0.4});
  EXPECT_EQ(with_nan.count, 2);
  EXPECT_EQ(combine_fisher(with_nan).x2, combine_fisher(sums_of({0.2, 0.4})).x2);
}

}  // namespace
