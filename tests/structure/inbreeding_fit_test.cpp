#include "structure/inbreeding_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "brute_force_likelihood.h"
#include "exact/rng64.h"

namespace {

void expect_matches_brute_force(const std::vector<double>& pi, const std::vector<int>& g) {
  const InbreedingTest t = fit_against_frequencies(pi, g);
  const BruteForceFit b = brute_force_fit(pi, g);
  ASSERT_EQ(t.outcome, FitOutcome::kTested);
  EXPECT_NEAR(t.f, static_cast<double>(b.f), 1e-8) << "n " << pi.size();
  EXPECT_NEAR(t.statistic, static_cast<double>(b.statistic), 1e-9 * std::fmax(1.0, t.statistic))
      << "n " << pi.size() << " f " << t.f;
  EXPECT_GE(t.f, static_cast<double>(b.lower) - 1e-15);
  EXPECT_LE(t.f, 1.0);
}

TEST(InbreedingFit, AgreesWithTheLikelihoodMaximisedByBruteForce) {
  Rng64 r = rng64_stream(7, 1);
  int cases = 0;
  while (cases < 200) {
    const int n = 2 + static_cast<int>(rng64_below(r, 60));
    const double true_f = -0.3 + 0.9 * rng64_01(r);
    std::vector<double> pi(static_cast<size_t>(n));
    std::vector<int> g(static_cast<size_t>(n));
    int alt = 0;
    for (int i = 0; i < n; ++i) {
      // Frequencies over the whole clipped range, some at the clip itself.
      const double u = rng64_01(r);
      pi[static_cast<size_t>(i)] = u < 0.1    ? 1e-4
                                   : u > 0.95 ? 1 - 1e-4
                                              : 1e-4 + (1 - 2e-4) * rng64_01(r);
      const double p = pi[static_cast<size_t>(i)];
      const double f = std::fmax(true_f, std::fmax(-p / (1 - p), -(1 - p) / p));
      const double v = rng64_01(r);
      const double p2 = p * p + p * (1 - p) * f, p1 = 2 * p * (1 - p) * (1 - f);
      g[static_cast<size_t>(i)] = v < p2 ? 2 : v < p2 + p1 ? 1 : 0;
      alt += g[static_cast<size_t>(i)];
    }
    if (alt == 0 || alt == 2 * n) continue;  // one allele: not a case for the fit
    expect_matches_brute_force(pi, g);
    ++cases;
  }
}

TEST(InbreedingFit, TakesMaximaOnTheBounds) {
  // Only heterozygotes: l falls with F, so F^ is the lower bound, set by the
  // individual whose frequency is furthest from 1/2.
  {
    const std::vector<double> pi = {0.5, 0.3, 0.2};
    const std::vector<int> g = {1, 1, 1};
    const InbreedingTest t = fit_against_frequencies(pi, g);
    EXPECT_DOUBLE_EQ(t.f, -0.25);
    EXPECT_NEAR(t.statistic, 6 * std::log1p(0.25), 1e-13);
    expect_matches_brute_force(pi, g);
  }
  // Both homozygotes, no heterozygote: F^ = 1 and l(1) - l(0) = sum log(1 + r).
  {
    const std::vector<double> pi = {0.5, 0.5, 0.25};
    const std::vector<int> g = {0, 2, 2};
    const InbreedingTest t = fit_against_frequencies(pi, g);
    EXPECT_EQ(t.f, 1.0);
    EXPECT_NEAR(t.statistic, 2 * (2 * std::log(2.0) + std::log(4.0)), 1e-13);
    expect_matches_brute_force(pi, g);
  }
  // A homozygote for an allele of frequency 0.1 bounds F at -1/9 and makes
  // l fall to minus infinity there: the maximum is inside.
  {
    const std::vector<double> pi = {0.1, 0.5, 0.5, 0.5, 0.5};
    const std::vector<int> g = {2, 1, 1, 1, 1};
    const InbreedingTest t = fit_against_frequencies(pi, g);
    EXPECT_GT(t.f, -1.0 / 9);
    expect_matches_brute_force(pi, g);
  }
  // Exactly as many heterozygotes as the homozygotes' ratios add up to: F^ = 0.
  {
    const std::vector<double> pi = {0.5, 0.5, 0.5, 0.5};
    const std::vector<int> g = {0, 1, 1, 2};
    const InbreedingTest t = fit_against_frequencies(pi, g);
    EXPECT_EQ(t.f, 0.0);
    EXPECT_EQ(t.statistic, 0.0);
    EXPECT_EQ(t.p, 1.0);
    EXPECT_EQ(t.p_deficit, 0.5);
  }
}

TEST(InbreedingFit, KeepsTheStatisticOfATinyDeviation) {
  // 2000 individuals at pi = 0.3, one heterozygote short of HW: F^ ~ 1e-3,
  // the statistic ~ 2e-3, from sums of size ~2000.
  std::vector<double> pi(2000, 0.3);
  std::vector<int> g(2000, 0);
  for (int i = 0; i < 839; ++i) g[static_cast<size_t>(i)] = 1;
  for (int i = 839; i < 839 + 181; ++i) g[static_cast<size_t>(i)] = 2;
  const InbreedingTest t = fit_against_frequencies(pi, g);
  const BruteForceFit b = brute_force_fit(pi, g);
  EXPECT_NEAR(t.f, static_cast<double>(b.f), 1e-9);
  EXPECT_NEAR(t.statistic, static_cast<double>(b.statistic), 1e-12);
  EXPECT_GT(t.statistic, 0.0);
}

TEST(InbreedingFit, GivesTailsFarOutWithoutCancellation) {
  // 721 homozygotes at pi = 1/2 split between both alleles: F^ = 1 and the
  // statistic is 2 x 721 log 2 ~ 999.5, whose tail is ~1e-219.
  std::vector<double> pi(721, 0.5);
  std::vector<int> g(721, 0);
  for (size_t i = 0; i < g.size(); i += 2) g[i] = 2;
  const InbreedingTest t = fit_against_frequencies(pi, g);
  const double x = 2 * 721 * std::log(2.0);
  EXPECT_NEAR(t.statistic, x, 1e-10);
  // P(chi2_1 > x) = erfc(sqrt(x/2)) ~ sqrt(2/(pi x)) e^(-x/2) (1 - 1/x + 3/x^2).
  const double log_tail = 0.5 * std::log(2 / (M_PI * x)) - x / 2 + std::log1p(-1 / x + 3 / (x * x));
  EXPECT_NEAR(std::log(t.p), log_tail, 1e-6);
  EXPECT_NEAR(std::log(t.p_deficit), log_tail - std::log(2.0), 1e-6);
  EXPECT_EQ(t.p_excess, 1.0);

  // Excess: only heterozygotes at pi = 1/2 put F^ on -1, and the tail on
  // the other side.
  const InbreedingTest e =
      fit_against_frequencies(std::vector<double>(500, 0.5), std::vector<int>(500, 1));
  EXPECT_EQ(e.f, -1.0);
  EXPECT_NEAR(e.statistic, 2 * 500 * std::log(2.0), 1e-10);
  EXPECT_LT(e.p_excess, 1e-150);
  EXPECT_NEAR(e.p_excess / (e.p / 2), 1.0, 1e-12);
}

TEST(InbreedingFit, OneSidedTailsSplitTheTwoSidedOne) {
  const std::vector<double> pi = {0.4, 0.35, 0.6, 0.2, 0.5, 0.45, 0.3};
  for (const std::vector<int>& g :
       {std::vector<int>{0, 0, 2, 0, 2, 0, 1}, std::vector<int>{1, 1, 1, 0, 1, 1, 2}}) {
    const InbreedingTest t = fit_against_frequencies(pi, g);
    EXPECT_NEAR(t.p_deficit + t.p_excess, 1.0, 1e-15);
    EXPECT_NEAR(std::fmin(t.p_deficit, t.p_excess) * 2, t.p, 1e-14);
    EXPECT_EQ(t.f > 0, t.p_deficit < 0.5);
  }
}

}  // namespace
