// Sequential stopping, the valid p of a sampled test, stream keys, and the
// relative accuracy of tiny enumerated p values.
#include <gtest/gtest.h>

#include <boost/math/distributions/binomial.hpp>
#include <cmath>
#include <vector>

#include "exact/exact_tests.h"

namespace {

// Many alleles near their proportions: sampled, p_prob neither 0 nor 1.
const ExactSample kSample{6, {2, 3, 4, 2, 3, 5, 1, 2, 5, 3, 4, 2, 3, 6, 4, 3, 5, 4, 2, 7, 6}};

ExactResult run(const ExactSample& sample, const ExactOptions& o) {
  ExactResult r;
  EXPECT_EQ(run_exact_tests(sample, o, r), ExactStatus::kOk);
  return r;
}

ExactOptions sampling(uint64_t tables, uint64_t seed, bool tables_auto, unsigned threads = 1) {
  ExactOptions o;
  o.max_tables = 0;
  o.tables = tables;
  o.seed = seed;
  o.tables_auto = tables_auto;
  o.threads = threads;
  return o;
}

// The stop is the draw of the 20th hit in the fixed order of the streams:
// a fixed count of exactly that many draws has 20 hits and the same hits of
// every other test, one draw fewer has 19; the p is 20/l with the limits of
// inverse binomial sampling, and neither the threads nor the waves of chunks
// move any of it.
TEST(ExactSequential, StopsAtTheTwentiethHitInStreamOrder) {
  for (const uint64_t seed : {uint64_t{1}, uint64_t{99}, uint64_t{123456789}, uint64_t{5}}) {
    SCOPED_TRACE(seed);
    const ExactResult seq = run(kSample, sampling(100000, seed, true));
    ASSERT_EQ(seq.method, ExactMethod::kSampling);
    ASSERT_EQ(seq.stop, SamplingStop::kSequentialHits);
    const uint64_t l = seq.tables;
    EXPECT_EQ(seq.hits[ExactTest::kProb], kSequentialHits);
    EXPECT_GE(l, kSequentialHits);

    const ExactResult fixed = run(kSample, sampling(l, seed, false));
    EXPECT_EQ(fixed.stop, SamplingStop::kFixedCount);
    EXPECT_EQ(fixed.hits.value, seq.hits.value);
    const ExactResult before = run(kSample, sampling(l - 1, seed, false));
    EXPECT_EQ(before.hits[ExactTest::kProb], kSequentialHits - 1);

    for (const unsigned threads : {2u, 3u}) {
      const ExactResult other = run(kSample, sampling(100000, seed, true, threads));
      EXPECT_EQ(other.tables, l);
      EXPECT_EQ(other.hits.value, seq.hits.value);
    }

    const ExactP& p = seq.test[ExactTest::kProb];
    EXPECT_EQ(p.p, 20.0 / static_cast<double>(l));
    EXPECT_EQ(exact_leading_p(seq), p.p);
    // Lower limit: P(at least 20 hits in l draws) = 2.5%; upper: P(at least
    // 20 hits in l - 1 draws) = 97.5%.
    using boost::math::binomial;
    EXPECT_NEAR(cdf(complement(binomial(static_cast<double>(l), p.low), 19.0)), 0.025, 1e-9);
    if (l > kSequentialHits) {
      EXPECT_NEAR(cdf(complement(binomial(static_cast<double>(l - 1), p.high), 19.0)), 0.975, 1e-9);
    } else {
      EXPECT_EQ(p.high, 1.0);  // every draw a hit
    }
    // The other tests: hits over the same l draws.
    const ExactP& x2 = seq.test[ExactTest::kX2e];
    EXPECT_EQ(x2.p, static_cast<double>(seq.hits[ExactTest::kX2e]) / static_cast<double>(l));
    EXPECT_TRUE(std::isnan(seq.prob_mid));
  }
}

// A p beyond the 20th hit of the first chunk: the stop lies in a later wave
// of chunks, and the threads still change nothing.
TEST(ExactSequential, StopsBeyondTheFirstChunkAlike) {
  const ExactSample far{3, {30, 60, 120, 20, 190, 150}};
  const ExactResult one = run(far, sampling(200000, 7, true, 1));
  ASSERT_EQ(one.stop, SamplingStop::kSequentialHits);
  EXPECT_GT(one.tables, 3000u);
  const ExactResult two = run(far, sampling(200000, 7, true, 2));
  EXPECT_EQ(two.tables, one.tables);
  EXPECT_EQ(two.hits.value, one.hits.value);
  const ExactResult fixed = run(far, sampling(one.tables, 7, false, 2));
  EXPECT_EQ(fixed.hits.value, one.hits.value);
}

// Without 20 hits by the limit: all T tables drawn, p_prob as for a fixed
// count, and the valid p (b + 1)/(T + 1).
TEST(ExactSequential, WithoutTwentyHitsDrawsTheLimit) {
  const ExactSample extreme{2, {40, 0, 40}};
  const ExactResult r = run(extreme, sampling(5000, 3, true));
  EXPECT_EQ(r.stop, SamplingStop::kSequentialLimit);
  EXPECT_EQ(r.tables, 5000u);
  EXPECT_EQ(r.hits[ExactTest::kProb], 0u);
  EXPECT_EQ(r.test[ExactTest::kProb].p, 0.0);
  EXPECT_EQ(exact_leading_p(r), 1.0 / 5001.0);
}

// A fixed count keeps its point estimate b/m; its valid p is (b + 1)/(m + 1).
TEST(ExactSequential, FixedCountValidPAddsOne) {
  const ExactResult r = run(kSample, sampling(3000, 11, false));
  const double b = static_cast<double>(r.hits[ExactTest::kProb]);
  EXPECT_EQ(r.test[ExactTest::kProb].p, b / 3000.0);
  EXPECT_EQ(exact_leading_p(r), (b + 1.0) / 3001.0);
}

// Key 0 is the seed's own streams; another key gives other draws, the same
// whatever the threads.
TEST(ExactSequential, StreamKeysGiveStreamsOfTheirOwn) {
  ExactOptions o = sampling(5 * 1024 + 17, 42, false);
  const ExactResult plain = run(kSample, o);
  o.stream_key = 0;
  EXPECT_EQ(run(kSample, o).hits.value, plain.hits.value);
  o.stream_key = 0x1234567890ABCDEFull;
  const ExactResult keyed = run(kSample, o);
  EXPECT_NE(keyed.hits.value, plain.hits.value);
  o.threads = 3;
  EXPECT_EQ(run(kSample, o).hits.value, keyed.hits.value);
  o.stream_key = 0x1234567890ABCDEEull;
  EXPECT_NE(run(kSample, o).hits.value, keyed.hits.value);
}

// Two alleles far from their proportions: p_prob from every table's
// probability by lgamma in extended precision, summed directly; the
// enumeration must keep its relative accuracy however small p is.
TEST(ExactSequential, TinyTwoAllelePValuesKeepTheirDigits) {
  auto direct = [](int64_t na, int64_t nb, int64_t h_s) {
    auto lw = [&](int64_t h) {
      const int64_t x = (na - h) / 2, y = (nb - h) / 2;
      return h * logl(2.0L) - lgammal(x + 1.0L) - lgammal(h + 1.0L) - lgammal(y + 1.0L);
    };
    long double lmax = -INFINITY;
    for (int64_t h = na % 2; h <= na; h += 2) lmax = std::max(lmax, lw(h));
    const long double ws = expl(lw(h_s) - lmax);
    long double total = 0, prob = 0;
    for (int64_t h = na % 2; h <= na; h += 2) {
      const long double w = expl(lw(h) - lmax);
      total += w;
      if (w <= ws * (1 + 1e-7L)) prob += w;
    }
    return static_cast<double>(prob / total);
  };
  // AA AB BB with N = 1000 and N = 2000: p near 1e-87, 1e-140 and 1e-281.
  for (auto [aa, ab, bb] :
       {std::tuple<int64_t, int64_t, int64_t>{150, 100, 750}, {100, 0, 900}, {200, 0, 1800}}) {
    SCOPED_TRACE(aa);
    ExactResult r;
    ASSERT_EQ(run_exact_tests(ExactSample{2, {aa, ab, bb}}, ExactOptions{}, r), ExactStatus::kOk);
    ASSERT_EQ(r.method, ExactMethod::kEnumeration);
    const double want = direct(2 * aa + ab, 2 * bb + ab, ab);
    ASSERT_GT(want, 0.0);
    EXPECT_LT(want, 1e-30);
    EXPECT_NEAR(r.test[ExactTest::kProb].p / want, 1.0, 1e-9) << want;
  }
}

}  // namespace
