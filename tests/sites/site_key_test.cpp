// The site key is a contract: a VCF site's draws (its sampled exact tests
// and permutations) follow from it, so a changed key changes every sampled
// figure of every site. The values below were worked out from the
// definition in site_key.h by a separate implementation, not by this code.
#include "sites/site_key.h"

#include <gtest/gtest.h>

#include "exact/rng64.h"

namespace {

TEST(SiteKey, PinnedKeysOfTheStatedHash) {
  EXPECT_EQ(site_unit_key("1", 491, "A", "C,G", "all", 1), 0xffaa713fa6ce5121ull);
  EXPECT_EQ(site_unit_key("chr2", 10, "A", "G", "north", 2), 0xdef8ff38ac94be52ull);
  // Fields longer than a word, and a population name in UTF-8.
  EXPECT_EQ(
      site_unit_key("chromosome_with_a_long_name", 123456789, "ACGTACGTA", ".", "\xc3\xa9-east", 1),
      0x0eb3b6503f5bdbebull);
  EXPECT_EQ(site_unit_key("", 0, "", "", "", 0), 0xe89714cf08cfd3edull);
}

TEST(SiteKey, TheMixIsSplitmix64) {
  // splitmix64's first outputs from the state 0, as published with it.
  uint64_t state = 0;
  EXPECT_EQ(splitmix64_next(state), 0xe220a8397b1dcdafull);
  EXPECT_EQ(splitmix64_next(state), 0x6e789e6aa1b965f4ull);
  EXPECT_EQ(splitmix64_mix(0), 0xe220a8397b1dcdafull);
}

}  // namespace
