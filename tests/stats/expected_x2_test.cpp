#include "stats/expected_x2.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "stats/allele_compaction.h"
#include "stats/stats_test_util.h"

namespace {

std::string fixed4(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", static_cast<double>(v));
  return text;
}

// The statistics step as the analysis phase runs it, buffers sized for the
// table as read.
struct Computed {
  ReadTable read;
  std::vector<float> expected, freq, cell_x2;
  std::vector<int32_t> total;
  float x2 = 0.0f;
};

Computed compute(const std::vector<Genotype>& genotypes) {
  Computed c;
  c.read = make_read_table(genotypes);
  const size_t cells = static_cast<size_t>(cell_count_for(c.read.k));
  c.expected.assign(cells, -1.0f);
  c.cell_x2.assign(cells, -1.0f);
  c.freq.assign(static_cast<size_t>(c.read.k), -1.0f);
  c.total.assign(static_cast<size_t>(c.read.k), -1);
  c.x2 = compute_expected_x2(c.read.table.data, c.expected.data(), c.read.k, c.read.two_n,
                             c.freq.data(), c.total.data(), c.cell_x2.data());
  return c;
}

const GenotypeCell& cell(const Computed& c, int i, int j) {
  return c.read.table[tri_index(i, j, c.read.k)];
}
float expected_at(const Computed& c, int i, int j) {
  return c.expected[static_cast<size_t>(tri_index(i, j, c.read.k))];
}
float cell_x2_at(const Computed& c, int i, int j) {
  return c.cell_x2[static_cast<size_t>(tri_index(i, j, c.read.k))];
}

TEST(ComputeExpectedX2, SampleChiSquareToTheLastBit) {
  const Computed c = compute(sample_genotypes());
  EXPECT_EQ(c.read.k, 6);
  EXPECT_EQ(c.x2, 0x1.53a18cp+7f);  // 169.81552124023438
  const std::vector<int32_t> totals(c.total.begin(), c.total.begin() + 6);
  EXPECT_EQ(totals, (std::vector<int32_t>{36, 2, 1, 17, 25, 25}));
  const char* freqs[] = {"0.3396", "0.0189", "0.0094", "0.1604", "0.2358", "0.2358"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(fixed4(c.freq[static_cast<size_t>(i)]), freqs[i]);
  EXPECT_EQ(c.freq[0], static_cast<float>(36.0L / 106.0L));
}

TEST(ComputeExpectedX2, SampleCompactionDropsF) {
  const Computed c = compute(sample_genotypes());
  // Ranks: a 0, b 1, c 2, d 3, e 4, g 5.
  EXPECT_EQ(cell(c, 0, 0).count, 10);
  EXPECT_EQ(cell(c, 0, 0).allele1, 'a');
  EXPECT_EQ(cell(c, 0, 3).count, 16);
  EXPECT_EQ(cell(c, 0, 3).allele2, 'd');
  EXPECT_EQ(cell(c, 1, 2).count, 1);
  EXPECT_EQ(cell(c, 1, 3).count, 1);
  EXPECT_EQ(cell(c, 4, 5).count, 25);
  EXPECT_EQ(cell(c, 4, 5).allele2, 'g');
  int32_t sum = 0;
  for (int pos = 0; pos < 21; ++pos) sum += c.read.table[pos].count;
  EXPECT_EQ(sum, 53);
}

TEST(ComputeExpectedX2, SampleExpectedCountsAndContributions) {
  const Computed c = compute(sample_genotypes());
  struct Row {
    int i, j;
    const char* expected;
    const char* x2;
  };
  for (const Row& r : {Row{0, 0, "6.1132", "2.4712"}, Row{0, 3, "5.7736", "18.1135"},
                       Row{1, 2, "0.0189", "51.0189"}, Row{1, 3, "0.3208", "1.4384"},
                       Row{4, 5, "5.8962", "61.8962"}}) {
    EXPECT_EQ(fixed4(expected_at(c, r.i, r.j)), r.expected);
    EXPECT_EQ(fixed4(cell_x2_at(c, r.i, r.j)), r.x2);
  }
  EXPECT_EQ(cell_x2_at(c, 0, 3), 0x1.21d0b6p+4f);  // 18.113454818725586
  // An unobserved genotype contributes its expected count.
  EXPECT_EQ(cell_x2_at(c, 4, 4), expected_at(c, 4, 4));
  EXPECT_EQ(cell_x2_at(c, 2, 5), expected_at(c, 2, 5));
}

TEST(ReferenceContributions, DifferFromCellX2OnlyWhereTheDifferenceRounds) {
  Computed c = compute(sample_genotypes());
  std::vector<float> reference(21, -1.0f);
  reference_contributions(c.read.table.data, c.expected.data(), 21, reference.data());
  const int ad = tri_index(0, 3, 6);
  EXPECT_EQ(reference[ad], 0x1.21d0b8p+4f);  // 18.11345672607422
  EXPECT_NE(reference[ad], c.cell_x2[static_cast<size_t>(ad)]);
  for (int pos = 0; pos < 21; ++pos) {
    if (pos != ad) {
      EXPECT_EQ(reference[static_cast<size_t>(pos)], c.cell_x2[static_cast<size_t>(pos)]) << pos;
    }
  }
}

TEST(ComputeExpectedX2, UpperAndLowerCaseGiveTheSameStatistics) {
  const Computed lower = compute(sample_genotypes());
  const Computed upper = compute(sample_genotypes_upper_case());
  ASSERT_EQ(upper.read.k, lower.read.k);
  EXPECT_EQ(upper.x2, lower.x2);
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(upper.freq[i], lower.freq[i]);
  for (size_t pos = 0; pos < 21; ++pos) {
    EXPECT_EQ(upper.expected[pos], lower.expected[pos]);
    EXPECT_EQ(upper.cell_x2[pos], lower.cell_x2[pos]);
  }
}

TEST(ComputeExpectedX2, OneAlleleOnly) {
  const Computed c = compute({{"aa", 10}});
  EXPECT_EQ(c.read.k, 1);
  EXPECT_EQ(c.freq[0], 1.0f);
  EXPECT_EQ(c.expected[0], 10.0f);
  EXPECT_EQ(c.x2, 0.0f);
}

TEST(ComputeExpectedX2, ZeroCountGenotypeOfAnAbsentAlleleIsDropped) {
  const Computed c = compute({{"aa", 0}, {"bb", 4}, {"bc", 2}, {"cc", 1}});
  EXPECT_EQ(c.read.k, 2);
  EXPECT_EQ(cell(c, 0, 0).allele1, 'b');
  EXPECT_EQ(cell(c, 0, 1).count, 2);
  EXPECT_EQ(cell(c, 1, 1).allele1, 'c');
}

TEST(ComputeExpectedX2, AlleleOnlyInHeterozygotesIsKept) {
  const Computed c = compute({{"aa", 5}, {"ab", 3}});
  ASSERT_EQ(c.read.k, 2);
  EXPECT_EQ(cell(c, 1, 1).count, 0);
  EXPECT_EQ(cell(c, 1, 1).allele1, 0);
  EXPECT_GT(expected_at(c, 1, 1), 0.0f);
  EXPECT_EQ(cell_x2_at(c, 1, 1), expected_at(c, 1, 1));
}

TEST(CompactAlleleArrays, KeepsOrderAndLeavesTheTail) {
  int32_t total[6] = {0, 4, 0, 0, 7, 1};
  float freq[6] = {0.0f, 0.4f, 0.0f, 0.0f, 0.7f, 0.1f};
  compact_allele_arrays(total, freq, 6);
  const int32_t expected_total[6] = {4, 7, 1, 0, 7, 1};
  const float expected_freq[6] = {0.4f, 0.7f, 0.1f, 0.0f, 0.7f, 0.1f};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(total[i], expected_total[i]);
    EXPECT_EQ(freq[i], expected_freq[i]);
  }
}

TEST(CompactGenotypeTable, InPlaceEqualsCopyingToAScratchTable) {
  ReadTable r = make_read_table({{"Ab", 1}, {"AA", 2}, {"bz", 3}, {"zz", 4}, {"AC", 0}});
  std::vector<int32_t> total(static_cast<size_t>(r.k), 0);
  total[0] = 5;    // A
  total[33] = 4;   // b
  total[57] = 11;  // z
  std::vector<GenotypeCell> scratch;
  for (int i = 0; i < r.k; ++i)
    for (int j = i; j < r.k; ++j)
      if (total[i] != 0 && total[j] != 0) scratch.push_back(r.table[tri_index(i, j, r.k)]);
  ASSERT_EQ(compact_genotype_table(r.table.data, total.data(), r.k), 6);
  ASSERT_EQ(scratch.size(), 6u);
  for (size_t pos = 0; pos < 6; ++pos) {
    EXPECT_EQ(r.table[pos].count, scratch[pos].count);
    EXPECT_EQ(r.table[pos].allele1, scratch[pos].allele1);
    EXPECT_EQ(r.table[pos].allele2, scratch[pos].allele2);
  }
}

}  // namespace
