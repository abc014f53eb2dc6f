// The count of a site by sex over two populations and a second site in the
// same block: each male call by its rule into its own population's unit,
// females into the genotype counts, samples of unknown sex nowhere.
#include "vcf/sex_tally.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(SexTally, CountsEachSexIntoItsPopulationsUnit) {
  // Samples: 0 M p0, 1 M p1, 2 F p0, 3 F p1, 4 unknown p0, 5 M p1, 6 F p0,
  // 7 M outside every population.
  SamplePopulations pops;
  pops.names = {"p0", "p1"};
  pops.of_sample = {0, 1, 0, 1, 0, 1, 0, -1};
  pops.sample_count = {4, 3};
  const std::vector<Sex> sexes = {Sex::kMale,    Sex::kMale,   Sex::kFemale, Sex::kFemale,
                                  Sex::kUnknown, Sex::kMale,   Sex::kFemale, Sex::kMale};
  SexTally tally;
  prepare_sex_tally(pops, sexes, tally);
  EXPECT_EQ(tally.females.sample_count, (std::vector<int32_t>{2, 1}));

  SiteText site;
  site.chrom = "X";
  site.pos = 100;
  site.n_allele = 3;
  site.has_gt = true;
  // 0: haploid 2; 1: diploid 1/1; 2: 0/2; 3: haploid 1 (a female's: not
  // counted); 4: 0/0 of unknown sex; 5: het 0/1; 6: 2/2; 7: haploid 0.
  const std::vector<int32_t> calls = {2, kHaploidCall, 1, 1, 0, 2, 1, kHaploidCall,
                                      0, 0,            0, 1, 2, 2, 0, kHaploidCall};
  SiteBlock block;
  add_sex_linked_site_units(site, calls.data(), pops, 7, 1, tally, block);
  add_sex_linked_site_units(site, calls.data(), pops, 8, 1, tally, block);
  ASSERT_EQ(block.sites.size(), 2u);
  ASSERT_EQ(block.units.size(), 4u);
  EXPECT_TRUE(block.sites[1].by_sex);
  for (size_t s = 0; s < 2; ++s) {
    const SiteUnit& p0 = block.units[2 * s];
    const SiteUnit& p1 = block.units[2 * s + 1];
    // p0: females 0/2 and 2/2 over alleles {0, 2}; male copy of 2.
    EXPECT_EQ(p0.k, 2);
    EXPECT_EQ(p0.n, 2);
    EXPECT_EQ(p0.missing, 0);
    EXPECT_EQ(std::vector<int32_t>(unit_alleles(block, p0), unit_alleles(block, p0) + 2),
              (std::vector<int32_t>{0, 2}));
    EXPECT_EQ(std::vector<int32_t>(unit_counts(block, p0), unit_counts(block, p0) + 3),
              (std::vector<int32_t>{0, 1, 1}));
    EXPECT_EQ(p0.males, 1);
    EXPECT_EQ(p0.male_het, 0);
    EXPECT_EQ(std::vector<int32_t>(unit_male_copies(block, p0), unit_male_copies(block, p0) + 3),
              (std::vector<int32_t>{0, 0, 1}));
    // p1: the female's haploid call is missing; one male 1/1, one het.
    EXPECT_EQ(p1.n, 0);
    EXPECT_EQ(p1.missing, 1);
    EXPECT_EQ(p1.males, 1);
    EXPECT_EQ(p1.male_het, 1);
    EXPECT_EQ(std::vector<int32_t>(unit_male_copies(block, p1), unit_male_copies(block, p1) + 3),
              (std::vector<int32_t>{0, 1, 0}));
  }
}

}  // namespace
