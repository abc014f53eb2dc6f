// The X-linked exact test and the test of equal allele frequencies in the
// sexes: against an exact-integer enumeration (x_linked_reference.h), far
// tails below the double range, the walks of two alleles against the
// enumeration of any number, the sampler within its limits, and the edges.
#include <gtest/gtest.h>

#include <boost/multiprecision/cpp_bin_float.hpp>
#include <cmath>
#include <random>
#include <vector>

#include "exact/x_enumerate.h"
#include "exact/x_linked_exact.h"
#include "exact/x_linked_stats.h"
#include "exact/x_two_allele.h"
#include "full_log_factorials.h"
#include "x_linked_reference.h"

namespace {

XLinkedResult run(const XLinkedSample& s, ExactOptions o = {}) {
  XLinkedResult r;
  EXPECT_EQ(run_x_linked_exact(s, o, r), ExactStatus::kOk);
  return r;
}

ExactOptions sampling(uint64_t tables, uint64_t seed, unsigned threads = 1) {
  ExactOptions o;
  o.max_tables = 0;
  o.tables = tables;
  o.seed = seed;
  o.threads = threads;
  return o;
}

void expect_relative(double value, double expected, double tolerance) {
  EXPECT_NEAR(value / expected, 1.0, tolerance) << value << " vs " << expected;
}

void expect_matches_reference(const XLinkedSample& s) {
  SCOPED_TRACE(::testing::PrintToString(s.males) + " | " + ::testing::PrintToString(s.females));
  const x_reference::Reference ref = x_reference::reference(s.k, s.males, s.females);
  const XLinkedResult r = run(s);
  ASSERT_EQ(r.method, ExactMethod::kEnumeration);
  EXPECT_EQ(r.tables, ref.tables);
  EXPECT_EQ(r.sex_af_tables, ref.splits);
  expect_relative(r.prob.p, ref.p(), 1e-9);
  expect_relative(r.prob_mid, ref.mid(), 1e-9);
  expect_relative(r.sex_af.p, ref.sex(), 1e-9);
  EXPECT_NEAR(r.log10_lead, ref.log10_p, 1e-9 * std::max(1.0, std::fabs(ref.log10_p)));
  EXPECT_NEAR(r.log10_mid, ref.log10_mid, 1e-9 * std::max(1.0, std::fabs(ref.log10_mid)));
  EXPECT_EQ(x_linked_leading_p(r), r.prob.p);
}

// Males 392 A 212 B with females 275 AA 296 AB 80 BB, and 337 A 129 B with
// 277 AA 209 AB 48 BB: the values of an exact-fraction enumeration.
TEST(XLinkedExact, TestVectors) {
  const XLinkedResult a = run({2, {392, 212}, {275, 296, 80}});
  EXPECT_EQ(a.prob.p, 1.0);  // the sample is the most probable table
  expect_relative(a.prob_mid, 0.9985908424193688, 1e-12);
  EXPECT_EQ(a.log10_lead, 0.0);
  const XLinkedResult b = run({2, {337, 129}, {277, 209, 48}});
  expect_relative(b.prob.p, 0.5809583410919582, 1e-12);
  expect_relative(b.prob_mid, 0.5797416931759298, 1e-12);
  EXPECT_NEAR(b.log10_lead, std::log10(0.5809583410919582), 1e-12);
  // The female-only test of the same sites, six digits as printed.
  ExactResult f;
  ASSERT_EQ(run_exact_tests({2, {277, 209, 48}}, {}, f), ExactStatus::kOk);
  EXPECT_NEAR(f.test[ExactTest::kProb].p, 0.340974, 5e-7);
  ASSERT_EQ(run_exact_tests({2, {275, 296, 80}}, {}, f), ExactStatus::kOk);
  EXPECT_NEAR(f.test[ExactTest::kProb].p, 1.0, 5e-7);
}

TEST(XLinkedExact, TwoAllelesMatchExactIntegers) {
  for (const XLinkedSample& s : std::vector<XLinkedSample>{
           {2, {5, 3}, {4, 2, 1}},
           {2, {30, 25}, {2, 40, 3}},  // heterozygote excess
           {2, {20, 2}, {1, 0, 15}},   // far from the proportions
           {2, {1, 12}, {0, 1, 8}},
           {2, {10, 0}, {3, 5, 0}},  // one allele among the males
           {2, {0, 0}, {3, 0, 4}},   // no males
           {2, {6, 2}, {0, 0, 0}},   // no females
           {2, {0, 7}, {9, 0, 0}},   // each sex fixed for its own allele
           {2, {40, 10}, {12, 20, 9}},
       }) {
    expect_matches_reference(s);
  }
}

TEST(XLinkedExact, ManyAllelesMatchExactIntegers) {
  for (const XLinkedSample& s : std::vector<XLinkedSample>{
           {3, {4, 2, 3}, {2, 1, 1, 1, 2, 0}},
           {3, {0, 0, 6}, {3, 0, 0, 2, 1, 0}},  // males of one allele
           {3, {2, 2, 0}, {0, 0, 0, 0, 0, 4}},  // the sexes share no allele
           {3, {9, 1, 0}, {5, 0, 1, 0, 0, 0}},  // far tail
           {4, {2, 1, 1, 2}, {1, 0, 1, 0, 1, 1, 0, 0, 1, 1}},
           {4, {3, 0, 1, 1}, {2, 1, 0, 0, 0, 1, 0, 1, 0, 1}},
       }) {
    expect_matches_reference(s);
  }
  // Random samples of three and four alleles with skewed frequencies.
  std::mt19937 gen(20240611);
  for (int trial = 0; trial < 12; ++trial) {
    const int k = 3 + trial % 2;
    std::vector<double> freq(k);
    for (int i = 0; i < k; ++i) freq[i] = 1.0 + i * i;
    std::discrete_distribution<int> allele(freq.begin(), freq.end());
    XLinkedSample s{k, std::vector<int64_t>(k, 0), std::vector<int64_t>(k * (k + 1) / 2, 0)};
    const int males = k == 3 ? 8 : 5, females = k == 3 ? 7 : 5;
    for (int m = 0; m < males; ++m) ++s.males[allele(gen)];
    for (int f = 0; f < females; ++f) {
      int a = allele(gen), b = allele(gen);
      if (a > b) std::swap(a, b);
      ++s.females[x_reference::tri(a, b, k)];
    }
    expect_matches_reference(s);
  }
}

// Below 1e-308 the p underflows, its log10 holds: two alleles with few
// males (4677 tables), and with no males the homozygote sample of 200000
// women, against log-gamma in 50 digits.
TEST(XLinkedExact, FarTailsKeepTheirLogarithm) {
  const XLinkedSample s{2, {4, 4}, {520, 0, 520}};
  const x_reference::Reference ref = x_reference::reference(s.k, s.males, s.females);
  ASSERT_LT(ref.log10_p, -308);
  const XLinkedResult r = run(s);
  EXPECT_NEAR(r.log10_lead, ref.log10_p, 1e-9 * std::fabs(ref.log10_p));
  EXPECT_NEAR(r.log10_mid, ref.log10_mid, 1e-9 * std::fabs(ref.log10_mid));
  EXPECT_LT(r.prob.p, 1e-300);

  // 100000 AA 0 AB 100000 BB: P(h) for h heterozygotes in 50 digits; the
  // tables no more probable than h = 0 lie at the two ends of the run.
  using Float = boost::multiprecision::cpp_bin_float_50;
  const int64_t n = 200000, g = 200000;
  auto log_p = [&](int64_t h) {
    const int64_t x = (g - h) / 2;
    return boost::multiprecision::lgamma(Float(n + 1)) + Float(h) * log(Float(2)) +
           2 * boost::multiprecision::lgamma(Float(g + 1)) -
           boost::multiprecision::lgamma(Float(2 * n + 1)) -
           2 * boost::multiprecision::lgamma(Float(x + 1)) -
           boost::multiprecision::lgamma(Float(h + 1));
  };
  const Float sample = log_p(0);
  Float sum = 1;  // relative to the sample
  for (int64_t h = g; h > 0; h -= 2) {
    const Float rel = exp(log_p(h) - sample);
    if (rel > 1) break;
    sum += rel;
  }
  const double expected = static_cast<double>((sample + log(sum)) / log(Float(10)));
  EXPECT_NEAR(expected, -60205.85, 0.01);
  const XLinkedResult big = run({2, {0, 0}, {100000, 0, 100000}});
  EXPECT_NEAR(big.log10_lead, expected, 1e-9 * std::fabs(expected));
  EXPECT_EQ(big.prob.p, 0.0);
}

// The two-allele walks against the enumeration that serves any number of
// alleles, on samples too large for exact integers: near the proportions
// (the complement of the tables more probable than the sample), moderately
// and far out in the tails, and with few males or few females.
TEST(XLinkedExact, TwoAlleleWalksMatchTheFullEnumeration) {
  const LogFactorials& lf = full_log_factorials();
  for (const XLinkedSample& s : std::vector<XLinkedSample>{
           {2, {160, 90}, {70, 110, 40}},
           {2, {180, 70}, {60, 100, 60}},
           {2, {120, 130}, {100, 20, 100}},
           {2, {250, 0}, {30, 10, 2}},
           {2, {3, 2}, {200, 150, 30}},
           {2, {150, 150}, {0, 120, 0}},
       }) {
    SCOPED_TRACE(::testing::PrintToString(s.males) + " | " + ::testing::PrintToString(s.females));
    const XStats st = prepare_x_stats(s, lf);
    const XSums walk = walk_two_allele_x(st);
    const XSums all = enumerate_x_tables(st);
    const XPValue w = p_from_sums(st.log_p_sample, walk);
    const XPValue e = p_from_sums(st.log_p_sample, all);
    expect_relative(w.p, e.p, 1e-11);
    expect_relative(w.mid, e.mid, 1e-11);
    EXPECT_NEAR(w.log10_p, e.log10_p, 1e-11 * std::max(1.0, std::fabs(e.log10_p)));
    const XPValue ws = p_from_sums(st.log_h_sample, walk_two_allele_splits(st));
    const XPValue es = p_from_sums(st.log_h_sample, enumerate_x_splits(st));
    expect_relative(ws.p, es.p, 1e-11);
    EXPECT_EQ(count_two_allele_x_tables(st), count_x_tables(st, ~uint64_t{0} - 1));
  }
}

TEST(XLinkedExact, CountsAndTheLimit) {
  const XLinkedSample s{3, {5, 4, 3}, {2, 1, 1, 2, 1, 1}};
  const uint64_t tables = x_reference::reference(3, s.males, s.females).tables;
  ExactOptions o;
  o.max_tables = tables;
  EXPECT_EQ(run(s, o).method, ExactMethod::kEnumeration);
  EXPECT_EQ(run(s, o).tables, tables);
  o.max_tables = tables - 1;
  const XLinkedResult sampled = run(s, o);
  EXPECT_EQ(sampled.method, ExactMethod::kSampling);
  // The splits still fit the limit: p_sex_af stays exact.
  EXPECT_EQ(sampled.sex_af_method, ExactMethod::kEnumeration);
  EXPECT_EQ(sampled.sex_af.p, run(s).sex_af.p);
  // Beyond it, p_sex_af is counted on the same draws.
  o.max_tables = run(s).sex_af_tables - 1;
  const XLinkedResult both = run(s, o);
  EXPECT_EQ(both.sex_af_method, ExactMethod::kSampling);
  EXPECT_EQ(both.sex_af_tables, both.tables);
  // Two alleles are walked whatever their number of tables; 0 samples.
  o.max_tables = 1;
  EXPECT_EQ(run({2, {337, 129}, {277, 209, 48}}, o).method, ExactMethod::kEnumeration);
  o.max_tables = 0;
  EXPECT_EQ(run({2, {337, 129}, {277, 209, 48}}, o).method, ExactMethod::kSampling);
}

// Sampled p within the 99.9% binomial limits around the enumerated ones,
// the same hits on any number of threads, and mid-p NaN.
TEST(XLinkedExact, SampledWithinLimitsOfTheEnumerated) {
  for (const XLinkedSample& s : std::vector<XLinkedSample>{
           {3, {6, 3, 4}, {2, 1, 2, 2, 2, 0}},
           {2, {40, 10}, {12, 20, 9}},
       }) {
    const XLinkedResult exact = run(s);
    constexpr uint64_t kDraws = 200000;
    const XLinkedResult r = run(s, sampling(kDraws, 7));
    ASSERT_EQ(r.method, ExactMethod::kSampling);
    EXPECT_EQ(r.tables, kDraws);
    EXPECT_TRUE(std::isnan(r.prob_mid));
    EXPECT_TRUE(std::isnan(r.log10_mid));
    for (auto [hat, p] : {std::pair{r.prob.p, exact.prob.p}, {r.sex_af.p, exact.sex_af.p}}) {
      const double sd = std::sqrt(p * (1 - p) / kDraws);
      EXPECT_NEAR(hat, p, 3.29 * sd + 1e-12);
    }
    EXPECT_EQ(r.sex_af_method, ExactMethod::kSampling);
    EXPECT_LE(r.prob.low, r.prob.p);
    EXPECT_GE(r.prob.high, r.prob.p);
    const double lead = (static_cast<double>(r.prob_hits) + 1) / (kDraws + 1);
    EXPECT_EQ(x_linked_leading_p(r), lead);
    EXPECT_NEAR(r.log10_lead, std::log10(lead), 1e-15);
    for (unsigned threads : {2u, 3u}) {
      const XLinkedResult t = run(s, sampling(kDraws, 7, threads));
      EXPECT_EQ(t.prob_hits, r.prob_hits);
      EXPECT_EQ(t.sex_af_hits, r.sex_af_hits);
    }
    // Another key, other draws.
    ExactOptions keyed = sampling(kDraws, 7);
    keyed.stream_key = 12345;
    EXPECT_NE(run(s, keyed).prob_hits, r.prob_hits);
  }
}

// Sequential stopping at the 20th hit of p_x_prob, in the streams' order.
TEST(XLinkedExact, StopsAtTheTwentiethHit) {
  const XLinkedSample s{3, {10, 0, 2}, {5, 0, 0, 1, 0, 2}};  // p near 6e-4: many chunks
  const XLinkedResult exact = run(s);
  ASSERT_LT(exact.prob.p, 0.01);
  ExactOptions o = sampling(1000000, 3, 2);
  o.tables_auto = true;
  const XLinkedResult seq = run(s, o);
  ASSERT_EQ(seq.stop, SamplingStop::kSequentialHits);
  EXPECT_EQ(seq.prob_hits, kSequentialHits);
  EXPECT_EQ(x_linked_leading_p(seq), 20.0 / static_cast<double>(seq.tables));
  const XLinkedResult fixed = run(s, sampling(seq.tables, 3));
  EXPECT_EQ(fixed.prob_hits, kSequentialHits);
  EXPECT_EQ(fixed.sex_af_hits, seq.sex_af_hits);
  EXPECT_EQ(run(s, sampling(seq.tables - 1, 3)).prob_hits, kSequentialHits - 1);
  o.tables = 500;  // too few draws for 20 hits
  const XLinkedResult short_run = run(s, o);
  EXPECT_EQ(short_run.stop, SamplingStop::kSequentialLimit);
  EXPECT_EQ(short_run.tables, 500u);
}

TEST(XLinkedExact, EdgesAndStatuses) {
  // The tie margin's logarithms are those of the other exact tests' margin.
  EXPECT_NEAR(kLogTieHigh, log1pl(1e-7L), 1e-24L);
  EXPECT_NEAR(kLogTieLow, log1pl(-1e-7L), 1e-24L);
  // One allele: one table, tied with itself.
  const XLinkedResult one = run({1, {5}, {7}});
  EXPECT_EQ(one.prob.p, 1.0);
  EXPECT_EQ(one.prob_mid, 0.5);
  EXPECT_EQ(one.sex_af.p, 1.0);
  EXPECT_NEAR(one.log10_mid, std::log10(0.5), 1e-15);
  // An allele without copies changes nothing.
  const XLinkedResult three = run({3, {3, 0, 2}, {2, 0, 1, 0, 0, 3}});
  const XLinkedResult two = run({2, {3, 2}, {2, 1, 3}});
  EXPECT_EQ(three.prob.p, two.prob.p);
  EXPECT_EQ(three.sex_af.p, two.sex_af.p);
  // No males: the female-only test.
  ExactResult f;
  ASSERT_EQ(run_exact_tests({3, {3, 2, 1, 4, 0, 2}}, {}, f), ExactStatus::kOk);
  const XLinkedResult no_males = run({3, {0, 0, 0}, {3, 2, 1, 4, 0, 2}});
  expect_relative(no_males.prob.p, f.test[ExactTest::kProb].p, 1e-12);
  expect_relative(no_males.prob_mid, f.prob_mid, 1e-12);
  EXPECT_EQ(no_males.sex_af.p, 1.0);

  XLinkedResult r;
  r.prob.p = 0.25;  // left untouched on failure
  EXPECT_EQ(run_x_linked_exact({0, {}, {}}, {}, r), ExactStatus::kNoAlleles);
  EXPECT_EQ(run_x_linked_exact({2, {1}, {1, 1, 1}}, {}, r), ExactStatus::kNoAlleles);
  EXPECT_EQ(run_x_linked_exact({2, {1, 1}, {1, 1}}, {}, r), ExactStatus::kNoAlleles);
  EXPECT_EQ(run_x_linked_exact({2, {0, 0}, {0, 0, 0}}, {}, r), ExactStatus::kNoAlleles);
  EXPECT_EQ(run_x_linked_exact({2, {1, -1}, {1, 1, 1}}, {}, r), ExactStatus::kNegativeCount);
  EXPECT_EQ(run_x_linked_exact({2, {int64_t{1} << 49, 0}, {int64_t{1} << 48, 0, 1}}, {}, r),
            ExactStatus::kTooLarge);
  EXPECT_EQ(run_x_linked_exact({3, {1, 1, 1}, {1, 1, 1, 1, 1, 1}}, sampling(0, 1), r),
            ExactStatus::kNoTables);
  EXPECT_EQ(
      run_x_linked_exact({3, {1, 1, 1}, {1, 1, 1, 1, 1, 1}}, sampling(kMaxExactTables + 1, 1), r),
      ExactStatus::kTooManyTables);
  EXPECT_EQ(r.prob.p, 0.25);
}

}  // namespace
