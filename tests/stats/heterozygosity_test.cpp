#include "stats/heterozygosity.h"

#include <gtest/gtest.h>

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
