// Counting packed genotype codes per group, by masks and popcounts or a
// sample at a time, against decoding every sample's two bits one by one.
#include "plink/genotype_codes.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

std::vector<CodeCounts> decode_each_sample(const std::vector<uint8_t>& bytes,
                                           const std::vector<int32_t>& group, size_t groups) {
  std::vector<CodeCounts> out(groups);
  for (size_t j = 0; j < group.size(); ++j) {
    if (group[j] < 0) continue;
    const int code = (bytes[j / 4] >> (2 * (j % 4))) & 3;
    ++out[static_cast<size_t>(group[j])].code[code];
  }
  return out;
}

void expect_same(const std::vector<CodeCounts>& got, const std::vector<CodeCounts>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t g = 0; g < got.size(); ++g)
    for (int c = 0; c < 4; ++c)
      EXPECT_EQ(got[g].code[c], want[g].code[c]) << "group " << g << " code " << c;
}

enum class Layout { kEveryone, kBlocks, kBlocksWithGaps, kInterleaved, kFewScattered };

std::vector<int32_t> lay_out(Layout layout, size_t samples, size_t groups, std::mt19937_64& rng) {
  std::vector<int32_t> g(samples, 0);
  for (size_t j = 0; j < samples; ++j) {
    switch (layout) {
      case Layout::kEveryone:
        g[j] = 0;
        break;
      case Layout::kBlocks:
        g[j] = static_cast<int32_t>(j * groups / samples);
        break;
      case Layout::kBlocksWithGaps:
        g[j] = rng() % 5 == 0 ? -1 : static_cast<int32_t>(j * groups / samples);
        break;
      case Layout::kInterleaved:
        g[j] = static_cast<int32_t>(rng() % groups);
        break;
      case Layout::kFewScattered:
        g[j] = rng() % 7 == 0 ? static_cast<int32_t>(rng() % groups) : -1;
        break;
    }
  }
  return g;
}

// Every sample count up to 3 words and a few beyond, so that the last byte
// and the last word are every kind of partly used; the padding bits are
// random, as a file need not clear them. Both with the processor's vector
// instructions and without.
void check_every_layout(bool portable) {
  use_portable_code_counting(portable);
  std::mt19937_64 rng(7);
  bool masks = false, by_sample = false, whole = false;
  std::vector<size_t> sizes;
  for (size_t n = 1; n <= 100; ++n) sizes.push_back(n);
  for (size_t n : {127, 128, 129, 255, 256, 257, 1000, 4097, 20011}) sizes.push_back(n);
  for (size_t samples : sizes) {
    for (Layout layout : {Layout::kEveryone, Layout::kBlocks, Layout::kBlocksWithGaps,
                          Layout::kInterleaved, Layout::kFewScattered}) {
      const size_t groups = layout == Layout::kEveryone      ? 1
                            : layout == Layout::kInterleaved ? 1 + rng() % 100
                                                             : 1 + rng() % 12;
      const std::vector<int32_t> group = lay_out(layout, samples, groups, rng);
      const SampleGroups g = make_sample_groups(group, groups);
      whole |= g.whole;
      by_sample |= g.by_sample;
      masks |= !g.whole && !g.by_sample;
      for (int variant = 0; variant < 4; ++variant) {
        std::vector<uint8_t> bytes((samples + 3) / 4);
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
        if (variant == 0) std::fill(bytes.begin(), bytes.end(), uint8_t{0xFF});
        if (variant == 1) std::fill(bytes.begin(), bytes.end(), uint8_t{0x00});
        std::vector<CodeCounts> got(groups);
        count_genotype_codes(bytes.data(), g, got.data());
        SCOPED_TRACE(::testing::Message()
                     << samples << " samples, layout " << static_cast<int>(layout) << ", " << groups
                     << " groups, variant " << variant);
        expect_same(got, decode_each_sample(bytes, group, groups));
      }
    }
  }
  // Each way of counting was taken.
  EXPECT_TRUE(whole);
  EXPECT_TRUE(masks);
  EXPECT_TRUE(by_sample);
  use_portable_code_counting(false);
}

TEST(GenotypeCodes, EveryLayoutCountsAsEachSampleDecoded) { check_every_layout(false); }
TEST(GenotypeCodes, EveryLayoutCountsAsEachSampleDecodedWithoutVectors) {
  check_every_layout(true);
}

// A group with no members, and samples in no group at all, count nothing.
TEST(GenotypeCodes, EmptyGroupsAndSamplesOutsideEveryGroup) {
  const std::vector<int32_t> group = {-1, 1, 1, -1, 1, -1, -1};
  const SampleGroups g = make_sample_groups(group, 3);
  EXPECT_EQ(g.members, (std::vector<int32_t>{0, 3, 0}));
  const std::vector<uint8_t> bytes = {0b10'11'01'00, 0b11'10'01};  // codes 0 1 3 2 | 1 2 3 (+pad)
  std::vector<CodeCounts> got(3);
  count_genotype_codes(bytes.data(), g, got.data());
  EXPECT_EQ(got[0].called() + got[0].code[kBedMissing], 0);
  EXPECT_EQ(got[2].called() + got[2].code[kBedMissing], 0);
  // Samples 1, 2 and 4: missing, hom A2, missing.
  EXPECT_EQ(got[1].code[kBedMissing], 2);
  EXPECT_EQ(got[1].code[kBedHomA2], 1);
  EXPECT_EQ(got[1].code[kBedHet] + got[1].code[kBedHomA1], 0);
}

}  // namespace
