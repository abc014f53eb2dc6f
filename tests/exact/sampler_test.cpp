#include "exact/sampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <boost/math/special_functions/gamma.hpp>
#include <cmath>
#include <functional>
#include <map>
#include <vector>

#include "exact/exact_tests.h"
#include "exact/hypergeometric.h"
#include "exact/log_factorial.h"
#include "exact/pairing_draw.h"
#include "exact/table_score.h"
#include "exact/table_stats.h"
#include "exact_reference.h"
#include "full_log_factorials.h"

namespace {

// Pearson's goodness of fit of `draws` observations to probabilities over
// consecutive outcomes, merged into classes of at least 20 expected draws.
// Returns the upper-tail probability of the statistic.
double fit_p(const std::vector<long double>& prob, const std::vector<uint64_t>& seen,
             uint64_t draws) {
  double x2 = 0;
  int classes = 0;
  long double e = 0;
  uint64_t o = 0;
  for (size_t i = 0; i < prob.size(); ++i) {
    e += prob[i] * draws;
    o += seen[i];
    if (e >= 20 || i + 1 == prob.size()) {
      const double d = static_cast<double>(o) - static_cast<double>(e);
      x2 += d * d / static_cast<double>(e);
      ++classes;
      e = 0;
      o = 0;
    }
  }
  return boost::math::gamma_q((classes - 1) / 2.0, x2 / 2.0);
}

// The distribution of x over [lo, hi] from the ratios f(x+1)/f(x), computed
// outwards from the mode in extended precision and normalised. Values beyond
// 1e-30 of the mode are cut off: lo and hi are moved in.
std::vector<long double> from_ratios(int64_t& lo, int64_t& hi,
                                     const std::function<long double(int64_t)>& up) {
  int64_t mode = lo;
  // Bisection for the first x whose ratio is at most 1 (the ratios fall).
  for (int64_t a = lo, b = hi; a < b;) {
    const int64_t m = a + (b - a) / 2;
    if (up(m) > 1) a = m + 1; else b = m;
    mode = a;
  }
  std::vector<long double> right{1.0L}, left;
  for (int64_t x = mode; x < hi && right.back() > 1e-30L; ++x) right.push_back(right.back() * up(x));
  long double f = 1.0L;
  for (int64_t x = mode; x > lo && f > 1e-30L; --x) left.push_back(f /= up(x - 1));
  lo = mode - static_cast<int64_t>(left.size());
  hi = mode + static_cast<int64_t>(right.size()) - 1;
  std::vector<long double> p(left.rbegin(), left.rend());
  p.insert(p.end(), right.begin(), right.end());
  long double sum = 0;
  for (long double v : p) sum += v;
  for (long double& v : p) v /= sum;
  return p;
}

double hypergeometric_fit(int64_t n, int64_t good, int64_t total, uint64_t draws, uint64_t seed) {
  int64_t lo = std::max<int64_t>(0, n - (total - good));
  int64_t hi = std::min(n, good);
  // f(x+1)/f(x) = (good - x)(n - x) / ((x + 1)(total - good - n + x + 1))
  auto up = [&](int64_t x) {
    return static_cast<long double>(good - x) * (n - x) /
           (static_cast<long double>(x + 1) * (total - good - n + x + 1));
  };
  const std::vector<long double> p = from_ratios(lo, hi, up);
  std::vector<uint64_t> seen(p.size(), 0);
  Rng64 r = rng64_stream(seed, 0);
  for (uint64_t i = 0; i < draws; ++i) {
    const int64_t x = draw_hypergeometric(full_log_factorials(), r, n, good, total);
    EXPECT_TRUE(x >= 0 && x <= std::min(n, good)) << x;
    ++seen[std::clamp(x, lo, hi) - lo];
  }
  return fit_p(p, seen, draws);
}

TEST(ExactSampler, HypergeometricDrawsFitTheirDistribution) {
  // Sequential draws, then ratio-of-uniforms, both sides of every symmetry,
  // and a population of 10^9.
  EXPECT_GT(hypergeometric_fit(5, 7, 20, 100000, 1), 1e-4);
  EXPECT_GT(hypergeometric_fit(15, 3, 20, 100000, 2), 1e-4);
  EXPECT_GT(hypergeometric_fit(40, 60, 200, 200000, 3), 1e-4);
  EXPECT_GT(hypergeometric_fit(170, 60, 200, 200000, 4), 1e-4);
  EXPECT_GT(hypergeometric_fit(30, 180, 200, 200000, 5), 1e-4);
  EXPECT_GT(hypergeometric_fit(500, 3000, 10000, 200000, 6), 1e-4);
  EXPECT_GT(hypergeometric_fit(20, 1000000, 1000000000, 200000, 7), 1e-4);
  EXPECT_GT(hypergeometric_fit(100000000, 400000000, 1000000000, 200000, 8), 1e-4);
}

TEST(ExactSampler, TwoAlleleHomozygotesFitTheirDistribution) {
  for (auto [a, b, seed] : {std::tuple<int64_t, int64_t, uint64_t>{7, 9, 1},
                           {300, 700, 2},
                           {1000, 30, 3},
                           {30000000, 1970000000, 4}}) {
    SCOPED_TRACE(a);
    int64_t lo = a > b ? (a - b) / 2 : 0;
    int64_t hi = a / 2;
    auto up = [&](int64_t x) {
      const long double h = a - 2 * x, y = (b - (a - 2 * x)) / 2;
      return h * (h - 1) / (4 * (x + 1.0L) * (y + 1));
    };
    const std::vector<long double> p = from_ratios(lo, hi, up);
    std::vector<uint64_t> seen(p.size(), 0);
    Rng64 r = rng64_stream(seed, 9);
    const uint64_t draws = 200000;
    for (uint64_t i = 0; i < draws; ++i) {
      const int64_t x = draw_two_allele_homozygotes(full_log_factorials(), r, a, b);
      ASSERT_TRUE(x >= (a > b ? (a - b) / 2 : 0) && x <= a / 2) << x;
      ++seen[std::clamp(x, lo, hi) - lo];
    }
    EXPECT_GT(fit_p(p, seen, draws), 1e-4);
  }
}

// Whole tables against their exact probabilities from the reference, drawn
// allele by allele and by pairing copies.
TEST(ExactSampler, DrawnTablesFitTheirExactProbabilities) {
  for (auto [k, counts] : {std::pair<int, std::vector<int64_t>>{3, {1, 2, 1, 3, 2, 1}},
                          {4, {1, 1, 0, 1, 2, 1, 0, 1, 1, 2}},
                          {5, {0, 1, 0, 2, 1, 1, 0, 1, 0, 0, 1, 0, 1, 0, 2}}}) {
    const TableStats s = prepare_table_stats(ExactSample{k, counts}, full_log_factorials());
    std::map<std::vector<int64_t>, size_t> index;
    std::vector<long double> weight;
    exact_reference::for_each_table(k, s.allele,
                                    [&](const std::vector<int64_t>& t, exact_reference::u128 w) {
                                      index[t] = weight.size();
                                      weight.push_back(static_cast<long double>(w));
                                    });
    long double total = 0;
    for (long double w : weight) total += w;
    for (long double& w : weight) w /= total;
    const PairingPlan plan = prepare_pairing(s);
    for (const bool pairing : {false, true}) {
      SCOPED_TRACE(pairing ? "pairing" : "allele by allele");
      std::vector<uint64_t> seen(weight.size(), 0);
      std::vector<int64_t> t(s.cell.size()), work(k);
      std::vector<int32_t> pair_work(plan.copies.size());
      Rng64 r = rng64_stream(42, pairing ? 1 : 0);
      const uint64_t draws = 300000;
      for (uint64_t i = 0; i < draws; ++i) {
        if (pairing) {
          draw_table_by_pairing(s, plan, r, t.data(), pair_work.data());
        } else {
          draw_table(s, r, t.data(), work.data());
        }
        const auto it = index.find(t);
        ASSERT_NE(it, index.end()) << "a table with other allele counts";
        ++seen[it->second];
      }
      EXPECT_GT(weight.size(), 20u);
      EXPECT_GT(fit_p(weight, seen, draws), 1e-4);
    }
    // Many alleles find their cell by arithmetic instead of the square:
    // the same tables from the same stream.
    PairingPlan by_triangle = plan;
    by_triangle.pair_cell.clear();
    std::vector<int64_t> t1(s.cell.size()), t2(s.cell.size());
    std::vector<int32_t> w1(plan.copies.size()), w2(plan.copies.size());
    Rng64 r1 = rng64_stream(7, 7), r2 = rng64_stream(7, 7);
    for (int i = 0; i < 1000; ++i) {
      draw_table_by_pairing(s, plan, r1, t1.data(), w1.data());
      draw_table_by_pairing(s, by_triangle, r2, t2.data(), w2.data());
      ASSERT_EQ(t1, t2);
    }
  }
}

// Pairing serves small samples with many alleles, never large ones, so the
// cost per table stays flat in N.
TEST(ExactSampler, PairingOnlyForSmallSamples) {
  auto stats = [](int32_t k, int64_t per_cell) {
    return prepare_table_stats(
        ExactSample{k, std::vector<int64_t>(static_cast<size_t>(k) * (k + 1) / 2, per_cell)},
        full_log_factorials());
  };
  EXPECT_TRUE(prefer_pairing(stats(10, 1)));     // N = 55, k = 10
  EXPECT_TRUE(prefer_pairing(stats(6, 2)));      // N = 42
  EXPECT_FALSE(prefer_pairing(stats(2, 500)));   // N = 1500, k = 2
  EXPECT_FALSE(prefer_pairing(stats(6, 5000)));  // N = 105 000
  EXPECT_FALSE(prefer_pairing(stats(200, 10)));  // 2^16 copies exceeded
}

// The scores from the lookup tables against the statistics computed cell by
// cell, for small counts (looked up) and large ones (computed).
TEST(ExactSampler, TableScoresMatchTheStatistics) {
  for (const int64_t scale : {int64_t{1}, int64_t{40}, int64_t{30000}}) {
    SCOPED_TRACE(scale);
    std::vector<int64_t> counts = {2, 3, 4, 2, 3, 5, 1, 2, 5, 3, 4, 2, 3, 6, 4, 3, 5, 4, 2, 7, 6};
    for (int64_t& c : counts) c *= scale;
    const TableStats s = prepare_table_stats(ExactSample{6, counts}, full_log_factorials());
    const TableScorer scorer = prepare_table_scorer(s);
    std::vector<int64_t> t(s.cell.size()), work(s.k);
    Rng64 r = rng64_stream(5, 5);
    for (int i = 0; i < 200; ++i) {
      draw_table(s, r, t.data(), work.data());
      const TableScore sc = score_table(s, scorer, t.data());
      const int64_t h = table_heterozygotes(s, t.data());
      double lp = static_cast<double>(h - s.h_sample) * 0.69314718055994530942;
      for (size_t c = 0; c < s.cell.size(); ++c)
        lp += log_factorial_diff(full_log_factorials(), s.cell[c].base, t[c]);
      ASSERT_EQ(sc.h, h);
      ASSERT_EQ(sc.u_cmp, u_compare(s.u, t.data()));
      const double x2 = table_x2(s, t.data()), g2 = table_g2(s, t.data());
      ASSERT_NEAR(sc.x2, x2, 1e-12 * x2);
      ASSERT_NEAR(sc.g2, g2, 1e-12 * g2);
      ASSERT_NEAR(sc.log_prob_ratio, lp, 1e-9 * (1 + std::fabs(lp)));
    }
  }
}

// The 95% limits of sampled p values hold the exact p about 95% of the time
// (Clopper-Pearson is conservative: at least that often).
TEST(ExactSampler, LimitsCoverTheExactValue) {
  const std::vector<int64_t> counts = {3, 5, 1, 2, 4, 6};
  const ExactResult exact = [&] {
    ExactResult r;
    run_exact_tests(ExactSample{3, counts}, ExactOptions{}, r);
    return r;
  }();
  ASSERT_EQ(exact.method, ExactMethod::kEnumeration);
  ExactOptions o;
  o.max_tables = 0;
  o.tables = 1000;
  o.threads = 1;
  PerTest<int> covered{};
  const int rounds = 200;
  for (int i = 0; i < rounds; ++i) {
    o.seed = 1000 + i;
    ExactResult r;
    ASSERT_EQ(run_exact_tests(ExactSample{3, counts}, o, r), ExactStatus::kOk);
    ASSERT_EQ(r.method, ExactMethod::kSampling);
    ASSERT_EQ(r.tables, 1000u);
    for (ExactTest test : kExactTests) {
      const ExactP& got = r.test[test];
      const double want = exact.test[test].p;
      EXPECT_LE(got.low, got.p);
      EXPECT_GE(got.high, got.p);
      if (got.low <= want && want <= got.high) ++covered[test];
    }
  }
  for (ExactTest test : kExactTests) {
    EXPECT_GE(covered[test], rounds * 90 / 100) << static_cast<int>(test);
  }
}

// Every sampled p within five standard errors of its enumerated value.
void expect_near_enumeration(const ExactResult& drawn, const ExactResult& exact, double tables) {
  for (ExactTest test : kExactTests) {
    const double p = exact.test[test].p;
    EXPECT_NEAR(drawn.test[test].p, p, 5 * std::sqrt(p * (1 - p) / tables) + 1e-12)
        << static_cast<int>(test);
  }
}

// Equal allele counts: the relabellings of the sample tie with it in every
// statistic and must count as hits, a sizeable share of the probability.
TEST(ExactSampler, TiesWithTheSampleCountAsHits) {
  for (const std::vector<int64_t>& counts :
       {std::vector<int64_t>{3, 2, 2, 3, 2, 3}, std::vector<int64_t>{1, 4, 4, 1, 4, 1}}) {
    const ExactSample sample{3, counts};
    ExactResult exact, drawn;
    ASSERT_EQ(run_exact_tests(sample, ExactOptions{}, exact), ExactStatus::kOk);
    ExactOptions o;
    o.max_tables = 0;
    o.tables = 40000;
    o.seed = 77;
    ASSERT_EQ(run_exact_tests(sample, o, drawn), ExactStatus::kOk);
    expect_near_enumeration(drawn, exact, 40000);
  }
}

// Sampled p values against enumeration, for a sample drawn by pairing copies
// and one drawn allele by allele.
TEST(ExactSampler, SampledValuesAgreeWithEnumeration) {
  for (const ExactSample& sample : {ExactSample{4, {1, 3, 0, 2, 2, 1, 3, 0, 2, 4}},
                                    ExactSample{3, {30, 66, 120, 50, 184, 150}}}) {
    SCOPED_TRACE(sample.k);
    EXPECT_EQ(prefer_pairing(prepare_table_stats(sample, full_log_factorials())), sample.k == 4);
    ExactResult exact, drawn;
    ExactOptions o;
    o.max_tables = 100000000;
    ASSERT_EQ(run_exact_tests(sample, o, exact), ExactStatus::kOk);
    ASSERT_EQ(exact.method, ExactMethod::kEnumeration);
    o.max_tables = 0;
    o.tables = 20000;
    o.seed = 3;
    ASSERT_EQ(run_exact_tests(sample, o, drawn), ExactStatus::kOk);
    expect_near_enumeration(drawn, exact, 20000);
  }
}

// Every p and limit of every test, bit for bit.
bool same_figures(const ExactResult& a, const ExactResult& b) {
  for (ExactTest test : kExactTests) {
    const ExactP& x = a.test[test];
    const ExactP& y = b.test[test];
    if (x.p != y.p || x.low != y.low || x.high != y.high) return false;
  }
  return true;
}

TEST(ExactSampler, FiguresDependOnTheSeedOnly) {
  // Near Hardy-Weinberg proportions, so no p is 0 or 1: a small sample
  // drawn by pairing copies, and one of 72 000 copies drawn allele by allele.
  const ExactSample small{6, {2, 3, 4, 2, 3, 5, 1, 2, 5, 3, 4, 2, 3, 6, 4, 3, 5, 4, 2, 7, 6}};
  const ExactSample large{6, {1010, 2000, 1970, 2000, 2030, 2000, 990, 2000, 2000, 2000, 2000,
                              1000, 2000, 2000, 2000, 1020, 2000, 2000, 985, 2000, 1000}};
  for (const ExactSample& sample : {small, large}) {
    SCOPED_TRACE(sample.counts[0]);
    EXPECT_EQ(prefer_pairing(prepare_table_stats(sample, full_log_factorials())),
              sample.counts == small.counts);
    ExactOptions o;
    o.max_tables = 0;
    o.tables = 5 * kSampleChunk + 17;  // a partial last chunk
    o.seed = 123456789;
    ExactResult one, two, three;
    o.threads = 1;
    ASSERT_EQ(run_exact_tests(sample, o, one), ExactStatus::kOk);
    o.threads = 2;
    ASSERT_EQ(run_exact_tests(sample, o, two), ExactStatus::kOk);
    o.threads = 3;
    ASSERT_EQ(run_exact_tests(sample, o, three), ExactStatus::kOk);
    EXPECT_EQ(one.tables, o.tables);
    EXPECT_TRUE(same_figures(one, two));
    EXPECT_TRUE(same_figures(one, three));
    o.seed = 123456790;
    ExactResult other;
    ASSERT_EQ(run_exact_tests(sample, o, other), ExactStatus::kOk);
    EXPECT_FALSE(same_figures(one, other));
  }
}

}  // namespace
