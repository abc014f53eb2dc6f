#include "exact/enumerate.h"

#include <array>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "exact/exact_tests.h"
#include "exact/table_stats.h"
#include "exact_reference.h"
#include "full_log_factorials.h"

namespace {

ExactResult run(int k, const std::vector<int64_t>& counts, uint64_t max_tables = 1000000) {
  ExactResult r;
  ExactOptions o;
  o.max_tables = max_tables;
  EXPECT_EQ(run_exact_tests(ExactSample{k, counts}, o, r), ExactStatus::kOk);
  return r;
}

void expect_matches_reference(int k, const std::vector<int64_t>& counts) {
  SCOPED_TRACE(::testing::PrintToString(counts));
  const exact_reference::Reference ref = exact_reference::reference_p(k, counts);
  const ExactResult r = run(k, counts);
  EXPECT_EQ(r.method, ExactMethod::kEnumeration);
  EXPECT_EQ(r.tables, ref.tables);
  EXPECT_NEAR(r.test[ExactTest::kProb].p, ref.prob, 1e-9);
  EXPECT_NEAR(r.test[ExactTest::kX2e].p, ref.x2e, 1e-9);
  EXPECT_NEAR(r.test[ExactTest::kLlr].p, ref.llr, 1e-9);
  EXPECT_NEAR(r.test[ExactTest::kDeficit].p, ref.deficit, 1e-9);
  EXPECT_NEAR(r.test[ExactTest::kExcess].p, ref.excess, 1e-9);
  EXPECT_NEAR(r.test[ExactTest::kUDeficit].p, ref.u_deficit, 1e-9);
  EXPECT_NEAR(r.test[ExactTest::kUExcess].p, ref.u_excess, 1e-9);
  EXPECT_NEAR(r.u_score, ref.u_score, 1e-12 * std::max(1.0, std::fabs(ref.u_score)));
  EXPECT_NEAR(r.prob_mid, ref.prob_mid, 1e-9);
  EXPECT_EQ(r.test[ExactTest::kProb].low, r.test[ExactTest::kProb].p);
  EXPECT_EQ(r.test[ExactTest::kExcess].high, r.test[ExactTest::kExcess].p);
}

// Two alleles, n_A = 4, n_B = 2, N = 3: the tables AA BB = 2 1 (weight
// 1/(2! 1!) = 1/2) and AA AB = 1 2 (weight 2^2/(1! 2!) = 2), so P = 1/5 and
// 4/5. The all-homozygote sample is the less probable and the most deficient.
TEST(ExactEnumeration, TwoAlleleWorkedExamples) {
  ExactResult r = run(2, {2, 0, 1});
  EXPECT_EQ(r.tables, 2u);
  EXPECT_NEAR(r.test[ExactTest::kProb].p, 0.2, 1e-15);
  EXPECT_NEAR(r.test[ExactTest::kDeficit].p, 0.2, 1e-15);
  EXPECT_NEAR(r.test[ExactTest::kExcess].p, 1.0, 1e-15);
  EXPECT_NEAR(r.test[ExactTest::kX2e].p, 0.2, 1e-15);

  // N = 10, n_A = 6, n_B = 14 (AA AB BB = 0 6 4 observed). The H = 6, 4, 2, 0
  // tables weigh 2^H / (x! H! y!) with x = (6 - H)/2, y = (14 - H)/2:
  // 64/(6! 4!), 16/(1! 4! 5!), 4/(2! 2! 6!), 1/(3! 7!), in units of 1/30240
  // 112, 168, 42, 1 (sum 323).
  r = run(2, {0, 6, 4});
  EXPECT_EQ(r.tables, 4u);
  EXPECT_NEAR(r.test[ExactTest::kExcess].p, 112.0 / 323.0, 1e-15);
  EXPECT_NEAR(r.test[ExactTest::kDeficit].p, 1.0, 1e-15);
  EXPECT_NEAR(r.test[ExactTest::kProb].p, 155.0 / 323.0, 1e-15);  // weights 112, 42 and 1
  // The sample (weight 112) is the only table as probable as itself.
  EXPECT_NEAR(r.prob_mid, (155.0 - 56.0) / 323.0, 1e-15);
  EXPECT_EQ(exact_leading_p(r), r.test[ExactTest::kProb].p);
}

TEST(ExactEnumeration, MatchesExactFractionsOnChosenSamples) {
  expect_matches_reference(2, {5, 10, 15});
  expect_matches_reference(2, {0, 30, 0});
  expect_matches_reference(2, {14, 1, 15});
  // Equal allele counts: relabelled tables tie in every statistic.
  expect_matches_reference(3, {3, 2, 2, 3, 2, 3});
  expect_matches_reference(3, {1, 4, 4, 1, 4, 1});
  expect_matches_reference(4, {2, 1, 1, 1, 2, 1, 1, 2, 1, 2});
  // A sample at its expectations (X2 = G2 = 0).
  expect_matches_reference(2, {4, 8, 4});
  expect_matches_reference(4, {10, 3, 0, 1, 5, 2, 0, 1, 1, 7});
  expect_matches_reference(3, {0, 10, 10, 0, 10, 0});
}

TEST(ExactEnumeration, MatchesExactFractionsOnRandomSamples) {
  std::mt19937 gen(20261208u);
  int checked = 0;
  for (int round = 0; checked < 40; ++round) {
    const int k = 2 + round % 3;
    std::uniform_int_distribution<int> size(k, 30);
    const int people = size(gen);
    std::vector<int64_t> counts(k * (k + 1) / 2, 0);
    // Skewed allele frequencies, so some classes are rare.
    std::vector<double> freq(k);
    for (int i = 0; i < k; ++i) freq[i] = 1.0 + 2.0 * i * i;
    std::discrete_distribution<int> allele(freq.begin(), freq.end());
    for (int m = 0; m < people; ++m) {
      int a = allele(gen), b = allele(gen);
      if (a > b) std::swap(a, b);
      ++counts[exact_reference::tri(a, b, k)];
    }
    const std::vector<int64_t> n = exact_reference::allele_copies(k, counts);
    bool all_present = true;
    for (int64_t c : n) all_present = all_present && c > 0;
    if (!all_present) continue;
    ++checked;
    expect_matches_reference(k, counts);
  }
}

TEST(ExactEnumeration, CountsTablesAndHonoursTheLimit) {
  // k = 3, N = 30 with allele counts 20 20 20 has the reference's number of
  // tables; one fewer allowed switches to sampling.
  const std::vector<int64_t> s = {3, 7, 7, 4, 6, 3};
  const uint64_t tables = exact_reference::reference_p(3, s).tables;
  EXPECT_EQ(run(3, s, tables).method, ExactMethod::kEnumeration);
  EXPECT_EQ(run(3, s, tables - 1).method, ExactMethod::kSampling);
  EXPECT_EQ(run(3, s, 0).method, ExactMethod::kSampling);
  // Five and six alleles, where the count reuses the tables of its last rows
  // across the rows placed before them.
  for (auto [k, c] : {std::pair<int, std::vector<int64_t>>{5, {1, 2, 0, 1, 1, 1, 1, 0, 1, 2, 1, 0,
                                                                1, 1, 2}},
                      {6, {1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 1, 0, 1, 1, 0, 1, 1, 2}}}) {
    SCOPED_TRACE(k);
    const uint64_t n = exact_reference::reference_p(k, c).tables;
    EXPECT_GT(n, 1000u) << n;
    const ExactResult all = run(k, c, n);
    EXPECT_EQ(all.method, ExactMethod::kEnumeration);
    EXPECT_EQ(all.tables, n);
    EXPECT_EQ(run(k, c, n - 1).method, ExactMethod::kSampling);
  }
  // One allele: one table, every p is 1.
  const ExactResult one = run(1, {7});
  EXPECT_EQ(one.tables, 1u);
  EXPECT_EQ(one.test[ExactTest::kProb].p, 1.0);
  EXPECT_EQ(one.test[ExactTest::kX2e].p, 1.0);
  EXPECT_EQ(one.test[ExactTest::kDeficit].p, 1.0);
}

// Individuals of two singleton alleles each: the tables are the pairings of
// the 2m singletons, (2m - 1)!!, and m/2 disjoint pairs of individuals
// already show 3^(m/2) of them, which answers a limit below that at once.
TEST(ExactEnumeration, ACountBeyondTheLimitStopsAtTheFirstSignOfIt) {
  const auto singletons = [](int m) {
    ExactSample sample{2 * m, std::vector<int64_t>(static_cast<size_t>(2 * m * (2 * m + 1) / 2))};
    for (int i = 0; i < m; ++i)
      sample.counts[static_cast<size_t>(tri_index(2 * i, 2 * i + 1, 2 * m))] = 1;
    return sample;
  };
  const LogFactorials& lf = full_log_factorials();
  for (const auto& [m, tables] : {std::pair<int, uint64_t>{4, 105}, {5, 945}}) {
    const ExactSample sample = singletons(m);
    ASSERT_EQ(exact_reference::reference_p(sample.k, sample.counts).tables, tables);
    const TableStats s = prepare_table_stats(sample, lf);
    for (uint64_t limit : {uint64_t{1}, uint64_t{8}, uint64_t{9}, uint64_t{26}, uint64_t{27},
                           tables - 1, tables, tables * 2})
      EXPECT_EQ(count_tables(s, limit), std::min(tables, limit + 1)) << m << " " << limit;
  }
  // Thousands of alleles of a copy or two: the walk would cross some three
  // million levels between tables; the count says "more" without it.
  std::mt19937 rng(7);
  const int k = 2417, n = 4000;
  std::vector<int> copies;
  for (int a = 0; a < k; ++a) copies.push_back(a);
  while (copies.size() < 2 * static_cast<size_t>(n)) copies.push_back(static_cast<int>(rng() % k));
  std::shuffle(copies.begin(), copies.end(), rng);
  ExactSample wide{k, std::vector<int64_t>(static_cast<size_t>(k) * (k + 1) / 2)};
  for (int i = 0; i < n; ++i) {
    const int a = std::min(copies[2 * i], copies[2 * i + 1]);
    const int b = std::max(copies[2 * i], copies[2 * i + 1]);
    ++wide.counts[static_cast<size_t>(tri_index(a, b, k))];
  }
  const ExactTables big = prepare_exact_tables(2 * n);
  const TableStats s = prepare_table_stats(wide, big.log_factorials);
  EXPECT_EQ(count_tables(s, 1000000), 1000001u);
}

// Two alleles, either one the rarer and with odd or even copies: the count
// is told without a walk, and must be the reference's number of tables,
// or limit + 1 beyond a limit.
TEST(ExactEnumeration, TwoAlleleCountsAreTheReferencesTables) {
  const LogFactorials& lf = full_log_factorials();
  for (const auto& [aa, ab, bb] : {std::array<int64_t, 3>{0, 1, 0}, {0, 3, 0},
                                   {2, 3, 7}, {7, 3, 2}, {5, 8, 1}, {1, 9, 1}, {0, 5, 0}}) {
    const ExactSample sample{2, {aa, ab, bb}};
    const uint64_t tables = exact_reference::reference_p(2, sample.counts).tables;
    const TableStats s = prepare_table_stats(sample, lf);
    for (uint64_t limit : {uint64_t{1}, tables - 1, tables, tables + 1}) {
      EXPECT_EQ(count_tables(s, limit), std::min(tables, limit + 1))
          << aa << " " << ab << " " << bb << " limit " << limit;
    }
  }
}

// Two alleles with N = 10^6: each table's probability from lgamma in
// extended precision, summed directly. The extreme sample (no heterozygote
// at all) lies some 10^5 orders of magnitude below the mode, far outside
// any floating range; the scale must follow the mode and nothing overflow.
TEST(ExactEnumeration, LargeTwoAlleleSamplesStayInRange) {
  auto direct = [](int64_t na, int64_t nb, int64_t h_s) {
    // returns {deficit, excess}
    long double lmax = -INFINITY;
    std::vector<long double> lp;
    for (int64_t h = na % 2; h <= na; h += 2) {
      const int64_t x = (na - h) / 2, y = (nb - h) / 2;
      const long double l = h * logl(2.0L) - lgammal(x + 1.0L) - lgammal(h + 1.0L) -
                            lgammal(y + 1.0L);
      lp.push_back(l);
      lmax = std::max(lmax, l);
    }
    long double total = 0, def = 0, exc = 0;
    int64_t h = na % 2;
    for (long double l : lp) {
      const long double w = expl(l - lmax);
      total += w;
      if (h <= h_s) def += w;
      if (h >= h_s) exc += w;
      h += 2;
    }
    return std::pair<double, double>(static_cast<double>(def / total),
                                     static_cast<double>(exc / total));
  };
  // n_A = 2000, n_B = 1998000: H near its expectation of about 1996.
  ExactResult r = run(2, {10, 1980, 998010});
  auto ref = direct(2000, 1998000, 1980);
  EXPECT_EQ(r.tables, 1001u);
  EXPECT_NEAR(r.test[ExactTest::kDeficit].p, ref.first, 1e-9);
  EXPECT_NEAR(r.test[ExactTest::kExcess].p, ref.second, 1e-9);

  r = run(2, {500000, 0, 500000});
  EXPECT_EQ(r.tables, 500001u);
  EXPECT_EQ(r.test[ExactTest::kDeficit].p, 0.0);
  EXPECT_EQ(r.test[ExactTest::kExcess].p, 1.0);
  EXPECT_EQ(r.test[ExactTest::kProb].p, 0.0);
  EXPECT_NEAR(r.test[ExactTest::kX2e].p, 0.0, 1e-300);
  EXPECT_FALSE(std::isnan(r.test[ExactTest::kLlr].p));

  // The opposite: a sample at the mode of a large sample has p_prob near 1.
  r = run(2, {250000, 500000, 250000});
  EXPECT_GT(r.test[ExactTest::kProb].p, 0.99);
  EXPECT_LE(r.test[ExactTest::kProb].p, 1.0);
  ref = direct(1000000, 1000000, 500000);
  EXPECT_NEAR(r.test[ExactTest::kDeficit].p, ref.first, 1e-9);
  EXPECT_NEAR(r.test[ExactTest::kExcess].p, ref.second, 1e-9);
}

// Two alleles, each tail walked only while a table can change a sum, give
// the figures of the walk of every tail to the cutoff: bit for bit where
// the skipped stretches are walked without adding their tables, within
// rounding where the walk jumps over a long one (samples far in a tail of
// a large sample).
TEST(ExactEnumeration, ShortTwoAlleleWalkKeepsTheFullWalksFigures) {
  const LogFactorials& lf = full_log_factorials();
  int jumped = 0;
  for (const int64_t n :
       {int64_t{20}, int64_t{300}, int64_t{2000}, int64_t{20000}, int64_t{200000}}) {
    for (const double freq : {0.5, 0.1, 0.01}) {
      const auto na = static_cast<int64_t>(std::llround(2.0 * static_cast<double>(n) * freq));
      const int64_t nb = 2 * n - na;
      if (na == 0) continue;
      const double mean_h = static_cast<double>(na) * static_cast<double>(nb) / (2.0 * n - 1.0);
      const double sd = std::sqrt(std::max(mean_h / 2.0, 1.0));
      for (const double z : {-1e9, -40.0, -15.0, -8.0, -2.0, 0.0, 1.0, 4.0, 12.0, 1e9}) {
        int64_t h = std::clamp<int64_t>(std::llround(mean_h + z * sd), 0, std::min(na, nb));
        if ((na - h) % 2 != 0) h += h > 0 ? -1 : 1;
        const ExactSample sample{2, {(na - h) / 2, h, (nb - h) / 2}};
        SCOPED_TRACE(::testing::PrintToString(sample.counts));
        const TableStats s = prepare_table_stats(sample, lf);
        const ExactPValues short_walk = enumerate_tables(s);
        const ExactPValues full = enumerate_tables(s, {.walk_every_tail = true});
        // Stretches of up to 8192 tables (16384 heterozygotes) are walked
        // without adding them; only longer ones may be jumped.
        const bool may_jump = std::fabs(z) * sd > 8192;
        jumped += may_jump ? 1 : 0;
        for (ExactTest test : kExactTests) {
          const double a = short_walk.p[test], b = full.p[test];
          if (may_jump) {
            EXPECT_NEAR(a, b, 1e-12 * b) << static_cast<int>(test);
          } else {
            EXPECT_EQ(a, b) << static_cast<int>(test);
          }
        }
        if (!may_jump) {
          EXPECT_EQ(short_walk.prob_ties, full.prob_ties);
          EXPECT_EQ(short_walk.prob_mid, full.prob_mid);
        }
        EXPECT_NEAR(short_walk.log10_prob, full.log10_prob, 1e-12 * std::fabs(full.log10_prob));
        EXPECT_NEAR(short_walk.log10_prob_mid, full.log10_prob_mid,
                    1e-12 * std::fabs(full.log10_prob_mid));
      }
    }
  }
  EXPECT_GT(jumped, 10);
}

// Counts near 2^47: the log-factorials leave their tables for Stirling's
// series and the weights stay finite and ordered.
TEST(ExactEnumeration, HugeCountsStayFinite) {
  const int64_t big = int64_t{1} << 47;
  // Ten copies of A, all with B: the most probable table (P = 1 - O(1e-13)).
  ExactResult r = run(2, {0, 10, big});
  EXPECT_EQ(r.tables, 6u);
  EXPECT_EQ(r.test[ExactTest::kProb].p, 1.0);
  EXPECT_NEAR(r.test[ExactTest::kExcess].p, 1.0, 1e-12);
  EXPECT_EQ(r.test[ExactTest::kDeficit].p, 1.0);
  // Three AA homozygotes among 2^47 B copies: P of the order of (10/2^48)^3.
  r = run(2, {3, 4, big});
  EXPECT_GT(r.test[ExactTest::kProb].p, 0.0);
  EXPECT_LT(r.test[ExactTest::kProb].p, 1e-35);
  EXPECT_EQ(r.test[ExactTest::kProb].p, r.test[ExactTest::kDeficit].p);
  EXPECT_EQ(r.test[ExactTest::kExcess].p, 1.0);
  // Too many tables: sampled, every figure a probability with ordered limits.
  r = run(4, {0, 1, 2, 3, big / 3, 7, 11, big / 5, 13, big});
  EXPECT_EQ(r.method, ExactMethod::kSampling);
  for (const ExactP& p : r.test.value) {
    EXPECT_LE(0.0, p.low);
    EXPECT_LE(p.low, p.p);
    EXPECT_LE(p.p, p.high);
    EXPECT_LE(p.high, 1.0);
  }
}

TEST(ExactEnumeration, RejectsUnusableSamples) {
  ExactResult r;
  r.tables = 77;
  const ExactOptions o;
  EXPECT_EQ(run_exact_tests(ExactSample{0, {}}, o, r), ExactStatus::kNoAlleles);
  EXPECT_EQ(run_exact_tests(ExactSample{2, {1, 2}}, o, r), ExactStatus::kNoAlleles);
  EXPECT_EQ(run_exact_tests(ExactSample{2, {1, -1, 3}}, o, r), ExactStatus::kNegativeCount);
  EXPECT_EQ(run_exact_tests(ExactSample{2, {4, 0, 0}}, o, r), ExactStatus::kEmptyClass);
  EXPECT_EQ(run_exact_tests(ExactSample{2, {int64_t{1} << 50, 0, 1}}, o, r),
            ExactStatus::kTooLarge);
  ExactOptions none;
  none.max_tables = 0;
  none.tables = 0;
  EXPECT_EQ(run_exact_tests(ExactSample{2, {1, 2, 3}}, none, r), ExactStatus::kNoTables);
  EXPECT_EQ(r.tables, 77u);
}

}  // namespace
