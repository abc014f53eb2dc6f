#include "stats/heterozygosity.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "stats/expected_x2.h"
#include "stats/stats_test_util.h"

namespace {

struct Het {
  int32_t k = 0;
  int32_t observed = -1;
  float expected = -1.0f;
  float d = -9.0f;
};

Het het_of(const std::vector<Genotype>& genotypes) {
  ReadTable r = make_read_table(genotypes);
  const size_t cells = static_cast<size_t>(cell_count_for(r.k));
  std::vector<float> e(cells), x(cells), f(static_cast<size_t>(r.k));
  std::vector<int32_t> t(static_cast<size_t>(r.k));
  compute_expected_x2(r.table.data, e.data(), r.k, r.two_n, f.data(), t.data(), x.data());
  Het h;
  h.k = r.k;
  het_stats(r.table.data, cell_count_for(r.k), t.data(), r.k, r.two_n, &h.observed, &h.expected,
            &h.d);
  return h;
}

TEST(HetStats, SampleToTheLastBit) {
  const Het h = het_of(sample_genotypes());
  EXPECT_EQ(h.observed, 43);
  EXPECT_EQ(h.expected, 0x1.3cd488p+5f);  // 39.603775
  EXPECT_EQ(h.d, 0x1.5f40b8p-4f);         // 0.0857551
}

TEST(HetStats, HomozygotesOnly) {
  const Het h = het_of({{"aa", 10}, {"bb", 6}, {"cc", 1}});
  EXPECT_EQ(h.observed, 0);
  EXPECT_GT(h.expected, 0.0f);
  EXPECT_EQ(h.d, -1.0f);
}

TEST(HetStats, AllHeterozygotes) {
  const Het h = het_of({{"ab", 12}});
  EXPECT_EQ(h.observed, 12);
  EXPECT_EQ(h.expected, 6.0f);
  EXPECT_EQ(h.d, 1.0f);
}

TEST(HetStats, ZeroCountCellsNeverCount) {
  GenotypeCell cells[3] = {{4, 'a', 'a'}, {0, 'a', 'b'}, {2, 'b', 'b'}};
  const int32_t totals[2] = {8, 4};
  int32_t observed = -1;
  float expected = 0.0f, d = 0.0f;
  het_stats(cells, 3, totals, 2, 12, &observed, &expected, &d);
  EXPECT_EQ(observed, 0);
  EXPECT_EQ(d, -1.0f);
}

// Beyond 65535 allele copies the squared totals no longer fit 32 bits.
TEST(HetStats, SumOfSquaresBeyondThirtyTwoBits) {
  const Het h = het_of({{"aa", 35000}, {"bb", 35000}});
  EXPECT_EQ(h.observed, 0);
  EXPECT_EQ(h.expected, 35000.0f);
  EXPECT_EQ(h.d, -1.0f);

  const Het mixed = het_of({{"aa", 20000}, {"ab", 30000}, {"bb", 20000}});
  EXPECT_EQ(mixed.expected, 35000.0f);
  EXPECT_EQ(mixed.observed, 30000);
  EXPECT_EQ(mixed.d, static_cast<float>(-5000.0L / 35000.0L));
}

// Beyond 2^24 allele copies a float32 copy count is inexact; the cancellation
// in N(1 - sum p^2) must not turn that into a negative expectation.
TEST(HetStats, MoreCopiesThanAFloatHoldsExactly) {
  const Het h = het_of({{"aa", 16777216}, {"ab", 1}});
  EXPECT_EQ(h.observed, 1);
  EXPECT_EQ(h.expected, 1.0f);  // 33554433 / 33554434, rounded
  EXPECT_EQ(h.d, 0.0f);

  const Het big = het_of({{"aa", 20000000}, {"ab", 1}, {"bb", 3}});
  EXPECT_GT(big.expected, 0.0f);
  EXPECT_GT(big.d, -1.0f);
}

}  // namespace

namespace {

// Allele copies and heterozygotes of a two- or three-allele sample given by
// its genotype counts (aa, ab, bb, ac, bc, cc).
struct Counts {
  int32_t aa, ab, bb, ac = 0, bc = 0, cc = 0;
};

UnitHeterozygosity of(const Counts& g) {
  const std::vector<int32_t> copies = {2 * g.aa + g.ab + g.ac, 2 * g.bb + g.ab + g.bc,
                                       2 * g.cc + g.ac + g.bc};
  const int32_t k = copies[2] > 0 ? 3 : 2;
  const int64_t n = g.aa + g.ab + g.bb + g.ac + g.bc + g.cc;
  return unit_heterozygosity(copies.data(), k, 2 * n, g.ab + g.ac + g.bc);
}

TEST(UnitHeterozygosity, ObservedEqualToExpectedGivesOneOverTwoNMinusOne) {
  // p = 1/2, Ho = He_b = 1/2; he = (2n/2 - 1/2) / (2(n-1)).
  const UnitHeterozygosity four = of({1, 2, 1});
  EXPECT_EQ(four.h_exp, 0.5);
  EXPECT_EQ(four.he, 7.0 / 12);
  EXPECT_EQ(four.f_is, 1.0 / 7);
  const UnitHeterozygosity eight = of({2, 4, 2});
  EXPECT_EQ(eight.he, 15.0 / 28);
  EXPECT_EQ(eight.f_is, 1.0 / 15);
}

TEST(UnitHeterozygosity, NoHeterozygotesGiveOneAndOnlyHeterozygotesANegativeF) {
  // a 6, b 4 of 10: He_b = 12/25, he = 10 (12/25) / 8 = 3/5.
  const UnitHeterozygosity none = of({3, 0, 2});
  EXPECT_EQ(none.h_exp, 12.0 / 25);
  EXPECT_EQ(none.he, 0.6);
  EXPECT_EQ(none.f_is, 1.0);
  // Three ab: He_b = 1/2, Ho = 1, he = (3 - 1) / 4, f = 1 - 1 / (1/2).
  const UnitHeterozygosity all = of({0, 3, 0});
  EXPECT_EQ(all.he, 0.5);
  EXPECT_EQ(all.f_is, -1.0);
  // Three alleles, all heterozygous: a 3, b 3, c 2 of 8, He_b = 1 - 22/64,
  // he = (8 (42/64) - 1) / 6 = 17/24, f = 1 - 24/17.
  const UnitHeterozygosity three = of({0, 2, 0, 1, 1, 0});
  EXPECT_EQ(three.h_exp, 42.0 / 64);
  EXPECT_EQ(three.he, 17.0 / 24);
  EXPECT_EQ(three.f_is, -7.0 / 17);
}

TEST(UnitHeterozygosity, UndefinedBelowTwoIndividualsAndWithoutDiversity) {
  const UnitHeterozygosity one = of({0, 1, 0});
  EXPECT_EQ(one.h_exp, 0.5);
  EXPECT_TRUE(std::isnan(one.he));
  EXPECT_TRUE(std::isnan(one.f_is));
  const int32_t monomorphic[] = {10};
  const UnitHeterozygosity mono = unit_heterozygosity(monomorphic, 1, 10, 0);
  EXPECT_EQ(mono.h_exp, 0.0);
  EXPECT_EQ(mono.he, 0.0);
  EXPECT_TRUE(std::isnan(mono.f_is));
}

TEST(UnitHeterozygosity, HExpIsTheDoubleNearestTheExactFraction) {
  // The help screen's sample: totals 36 2 1 17 25 25 of 106, sum of squares 2840.
  const int32_t totals[] = {36, 2, 1, 17, 25, 25};
  EXPECT_EQ(unit_heterozygosity(totals, 6, 106, 43).h_exp, 8396.0 / 11236);
  // Large counts: 10^8 copies, sum of squares beyond 2^53 kept exact.
  const int32_t large[] = {60000001, 39999999};
  const double exact = 2.0 * 60000001.0 * 39999999.0 / 1e16;
  EXPECT_NEAR(unit_heterozygosity(large, 2, 100000000, 0).h_exp, exact, 1e-16);
}

}  // namespace
