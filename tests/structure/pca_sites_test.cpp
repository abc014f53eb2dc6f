#include "structure/pca_sites.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Sites of 16 samples: the first 10 spell a number in base 3 (which site
// it was), the other 6 are heterozygotes, so the site is always eligible
// (minor allele frequency between 6/32 and 26/32). A site of only REF
// homozygotes is not.
constexpr int32_t kSamples = 16;

std::vector<uint8_t> numbered_site(uint64_t number) {
  std::vector<uint8_t> codes(kSamples, 1);
  for (int32_t i = 0; i < 10; ++i, number /= 3)
    codes[static_cast<size_t>(i)] = static_cast<uint8_t>(number % 3);
  return codes;
}

uint64_t number_of(const uint8_t* codes) {
  uint64_t number = 0;
  for (int32_t i = 9; i >= 0; --i) number = number * 3 + codes[i];
  return number;
}

// Offers `total` sites, every 7th not eligible; returns the numbers of the
// eligible sites kept, in order.
std::vector<uint64_t> kept_numbers(uint64_t total, uint64_t known, PcaSites& sites) {
  EXPECT_TRUE(start_pca_sites(kSamples, known, sites));
  const std::vector<uint8_t> monomorphic(kSamples, 0);
  uint64_t eligible = 0;
  for (uint64_t t = 0; t < total; ++t) {
    if (t % 7 == 6) {
      offer_pca_site(sites, monomorphic.data());
    } else {
      offer_pca_site(sites, numbered_site(eligible++ % 59049).data());
    }
  }
  std::vector<uint64_t> numbers;
  for (int32_t j = 0; j < sites.kept; ++j) numbers.push_back(number_of(pca_site_codes(sites, j)));
  return numbers;
}

TEST(PcaSites, KeepEveryStrideThEligibleSite) {
  for (uint64_t total : {100ull, 23'333ull, 23'334ull, 100'000ull}) {
    PcaSites sites;
    const std::vector<uint64_t> numbers = kept_numbers(total, 0, sites);
    const uint64_t eligible = total - total / 7;
    // The stride: the least power of 2 that fits the eligible sites.
    uint64_t stride = 1;
    while ((eligible + stride - 1) / stride > static_cast<uint64_t>(kPcaMaxSites)) stride *= 2;
    EXPECT_EQ(sites.stride, stride) << total;
    EXPECT_EQ(sites.eligible, eligible);
    EXPECT_EQ(sites.offered, total);
    ASSERT_EQ(numbers.size(), (eligible + stride - 1) / stride) << total;
    for (size_t k = 0; k < numbers.size(); ++k)
      ASSERT_EQ(numbers[k], (k * stride) % 59049) << total;
    for (int32_t j = 0; j < sites.kept; ++j)
      EXPECT_EQ(sites.mean[j], [&] {
        int copies = 0;
        for (int32_t i = 0; i < kSamples; ++i) copies += pca_site_codes(sites, j)[i];
        return copies / 32.0;
      }());
    // More than half the room is used once the sites overflow it.
    if (eligible > static_cast<uint64_t>(kPcaMaxSites)) {
      EXPECT_GT(sites.kept, kPcaMaxSites / 2);
    }
  }
}

TEST(PcaSites, KeepTheSameSitesWhenTheirNumberIsKnown) {
  for (uint64_t total : {500ull, 100'000ull}) {
    PcaSites unknown, known;
    EXPECT_EQ(kept_numbers(total, 0, unknown), kept_numbers(total, total, known));
    // Room for no more sites than the input has.
    EXPECT_EQ(known.capacity, static_cast<int32_t>(std::min<uint64_t>(total, kPcaMaxSites)));
  }
}

TEST(PcaSites, TakeSitesFromAMinorAlleleFrequencyOf5Percent) {
  PcaSites sites;
  ASSERT_TRUE(start_pca_sites(10, 0, sites));
  // 1 ALT copy in 20 (0.05): eligible; in 22 with 11 called (0.045): not.
  std::vector<uint8_t> at_limit(10, 0), below(11, 0), missing_only(10, 3);
  at_limit[3] = 1;
  offer_pca_site(sites, at_limit.data());
  std::vector<uint8_t> one_missing(10, 2);
  one_missing[0] = 3;
  one_missing[1] = 1;  // 1 REF copy among 9 called: 1/18 > 0.05
  offer_pca_site(sites, one_missing.data());
  offer_pca_site(sites, missing_only.data());
  std::vector<uint8_t> nineteen_of_20(10, 2);
  nineteen_of_20[5] = 1;
  nineteen_of_20[6] = 0;  // 17 ALT of 20: MAF 0.15
  offer_pca_site(sites, nineteen_of_20.data());
  // 19 ALT copies of 20: the REF allele at 0.05 exactly.
  std::vector<uint8_t> ref_at_limit(10, 2);
  ref_at_limit[9] = 1;
  offer_pca_site(sites, ref_at_limit.data());
  EXPECT_EQ(sites.kept, 4);
  EXPECT_EQ(sites.eligible, 4u);
  EXPECT_EQ(sites.offered, 5u);
  EXPECT_EQ(sites.mean[0], 0.05);
  EXPECT_EQ(sites.mean[1], 17.0 / 18);

  PcaSites eleven;
  ASSERT_TRUE(start_pca_sites(11, 0, eleven));
  below[0] = 1;
  offer_pca_site(eleven, below.data());
  EXPECT_EQ(eleven.kept, 0);
}

TEST(PcaSites, FollowTheMemoryRule) {
  EXPECT_EQ(pca_site_capacity(0), 0);
  EXPECT_EQ(pca_site_capacity(1), kPcaMaxSites);
  EXPECT_EQ(pca_site_capacity(20'000), 20'000);
  EXPECT_EQ(pca_site_capacity(40'000), 10'000);
  EXPECT_EQ(pca_site_capacity(200'000), 2'000);
  EXPECT_EQ(pca_site_capacity(1'000'000), kPcaMinSites);
  for (int32_t n : {1'000, 20'000, 33'333, 150'000})
    EXPECT_LE(static_cast<size_t>(pca_site_capacity(n)) * static_cast<size_t>(n), kPcaByteBudget);
}

}  // namespace
