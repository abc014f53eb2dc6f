#include "stats/locus_analysis.h"

#include <gtest/gtest.h>

#include <utility>

#include "genotype/genotype_reader.h"

namespace {

GenotypeTable table_of(int32_t k, std::initializer_list<std::pair<int32_t, int32_t>> cells_counts,
                       int32_t* two_n) {
  GenotypeTable t;
  t.allocate_zeroed(static_cast<size_t>(cell_count_for(k)));
  *two_n = 0;
  for (auto [pos, count] : cells_counts) {
    t[pos].count = count;
    *two_n += 2 * count;
  }
  return t;
}

TEST(AnalyseLocus, TheExampleFileShrunkToItsSixAlleles) {
  GenotypeRead read = read_genotype_file(HWMC_SOURCE_DIR "/examples/sample.txt");
  ASSERT_EQ(read.status, ReadStatus::kOk);
  ASSERT_EQ(read.parse.k, 39);
  LocusAnalysis a;
  ASSERT_EQ(analyse_locus(std::move(read.parse.table), read.parse.k, read.parse.two_n, a),
            AnalysisStatus::kOk);
  EXPECT_EQ(a.k, 6);
  EXPECT_EQ(a.cells, 21);
  EXPECT_EQ(a.df, 15);
  EXPECT_EQ(a.x2_obs, 0x1.53a18cp+7f);
  EXPECT_EQ(a.x2_crit, 24.996f);
  EXPECT_EQ(a.het_observed, 43);
  EXPECT_EQ(a.het_expected, 0x1.3cd488p+5f);
  EXPECT_EQ(a.d_obs, 0x1.5f40b8p-4f);
  EXPECT_EQ(a.table.size, 21u);
  EXPECT_EQ(a.expected.size, 21u);
  EXPECT_EQ(a.cell_x2.size, 21u);
  EXPECT_EQ(a.allele_freq.size, 6u);
  EXPECT_EQ(a.allele_total[5], 25);
  EXPECT_STREQ(a.allele_letters.data, "abcdeg");
  EXPECT_EQ(a.cell_x2[3], 0x1.21d0b6p+4f);
  // The report's and the screen's figures.
  EXPECT_EQ(static_cast<double>(selander_statistic(a.d_obs, a.two_n, a.k)),
            static_cast<double>(0x1.5f40b8p-4L * 0x1.5f40b8p-4L * 53 * 5));
  EXPECT_NEAR(observed_heterozygosity(a), 43.0 / 53.0, 1e-15);
}

TEST(AnalyseLocus, FailuresAreStatuses) {
  int32_t two_n = 0;
  GenotypeTable empty = table_of(2, {{0, 0}}, &two_n);
  LocusAnalysis none;
  EXPECT_EQ(analyse_locus(std::move(empty), 2, two_n, none), AnalysisStatus::kNoData);
  // aa:10 ab:0: the b class is empty and dropped, one class is left.
  GenotypeTable single = table_of(2, {{0, 10}, {1, 0}}, &two_n);
  LocusAnalysis one;
  EXPECT_EQ(analyse_locus(std::move(single), 2, two_n, one), AnalysisStatus::kOneAllele);
  GenotypeTable fitting = table_of(2, {{0, 1}, {1, 2}, {2, 1}}, &two_n);
  LocusAnalysis two;
  EXPECT_EQ(analyse_locus(std::move(fitting), 2, two_n, two), AnalysisStatus::kOk);
  EXPECT_EQ(two.x2_obs, 0.0f);
}

}  // namespace
