// The exact tests at the edges: many alleles, huge samples at their
// expectations, and the most tables one may ask for.
#include <gtest/gtest.h>

#include <vector>

#include "exact/exact_tests.h"
#include "genotype/genotype_table.h"

namespace {

void expect_probabilities(const ExactResult& r) {
  for (ExactTest test : kExactTests) {
    const ExactP& p = r.test[test];
    EXPECT_LE(0.0, p.low) << static_cast<int>(test);
    EXPECT_LE(p.low, p.p) << static_cast<int>(test);
    EXPECT_LE(p.p, p.high) << static_cast<int>(test);
    EXPECT_LE(p.high, 1.0) << static_cast<int>(test);
  }
}

// 500 homozygotes of distinct alleles (k(k+1)/2 = 125 250 cells): the
// walks over the cells once recursed about k^2/2 deep and overflowed the
// stack. Far too many tables to enumerate, so they are counted up to the
// limit and drawn.
TEST(ExactLimits, ManyAllelesNeitherOverflowNorFail) {
  for (const int32_t k : {500, 700}) {
    SCOPED_TRACE(k);
    ExactSample sample{k, std::vector<int64_t>(static_cast<size_t>(k) * (k + 1) / 2, 0)};
    for (int32_t i = 0; i < k; ++i) sample.counts[tri_index(i, i, k)] = 1;
    ExactOptions o;
    o.tables = 30;
    o.threads = 1;
    ExactResult r;
    ASSERT_EQ(run_exact_tests(sample, o, r), ExactStatus::kOk);
    EXPECT_EQ(r.method, ExactMethod::kSampling);
    EXPECT_EQ(r.tables, 30u);
    expect_probabilities(r);
    // Every allele a homozygote is the most deficient table there is.
    EXPECT_EQ(r.test[ExactTest::kExcess].p, 1.0);
  }
}

// A sample exactly at its expectations has X2 = G2 = 0, so every table is at
// least as extreme: both p are 1 at any size, enumerated or drawn, however
// the terms of G2 round at counts near 10^7.
TEST(ExactLimits, ASampleAtItsExpectationsTiesWithEveryTable) {
  const ExactSample sample{2, {25000000, 50000000, 25000000}};
  ExactOptions o;
  o.max_tables = 100000000;
  ExactResult enumerated;
  ASSERT_EQ(run_exact_tests(sample, o, enumerated), ExactStatus::kOk);
  ASSERT_EQ(enumerated.method, ExactMethod::kEnumeration);
  EXPECT_EQ(enumerated.test[ExactTest::kLlr].p, 1.0);
  EXPECT_EQ(enumerated.test[ExactTest::kX2e].p, 1.0);
  EXPECT_EQ(enumerated.test[ExactTest::kProb].p, 1.0);

  o.max_tables = 0;
  o.tables = 3000;
  o.seed = 5;
  ExactResult drawn;
  ASSERT_EQ(run_exact_tests(sample, o, drawn), ExactStatus::kOk);
  EXPECT_EQ(drawn.test[ExactTest::kLlr].p, 1.0);
  EXPECT_EQ(drawn.test[ExactTest::kLlr].high, 1.0);
  EXPECT_EQ(drawn.test[ExactTest::kX2e].p, 1.0);

  // A smaller sample at its expectations and one off them keep their ties.
  for (const ExactSample& s : {ExactSample{3, {250000, 500000, 500000, 250000, 500000, 250000}},
                               ExactSample{2, {2500, 5000, 2500}}}) {
    ExactResult r;
    ASSERT_EQ(run_exact_tests(s, ExactOptions{}, r), ExactStatus::kOk);
    EXPECT_EQ(r.test[ExactTest::kLlr].p, 1.0);
    EXPECT_EQ(r.test[ExactTest::kX2e].p, 1.0);
  }
}

// The number of tables to draw has a ceiling that keeps every count exact
// and every chunk countable; beyond it the tests refuse, never give NaN.
TEST(ExactLimits, TablesBeyondTheCeilingAreRefused) {
  ExactOptions o;
  o.max_tables = 0;
  ExactResult r;
  r.tables = 9;
  for (const uint64_t tables : {kMaxExactTables + 1, ~uint64_t{0}, ~uint64_t{0} - 1000}) {
    o.tables = tables;
    EXPECT_EQ(run_exact_tests(ExactSample{2, {1, 2, 3}}, o, r), ExactStatus::kTooManyTables);
  }
  EXPECT_EQ(r.tables, 9u);
  EXPECT_STRNE(exact_status_message(ExactStatus::kTooManyTables), "unknown status");
}

}  // namespace
