// The one-pass count of 8-bit BCF genotypes against the count of decoded
// calls, over every pair of values a sample can hold.
#include "vcf/site_tally.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// Every (first, second) byte pair once, one sample each: 65 536 samples.
std::vector<uint8_t> every_pair() {
  std::vector<uint8_t> gt;
  for (int first = 0; first < 256; ++first) {
    for (int second = 0; second < 256; ++second) {
      gt.push_back(static_cast<uint8_t>(first));
      gt.push_back(static_cast<uint8_t>(second));
    }
  }
  return gt;
}

// The calls as the format defines them: (value >> 1) - 1 is the allele,
// negative for '.', missing and vector end; both known or none counted.
std::vector<int32_t> calls_of(const std::vector<uint8_t>& gt, int32_t& largest) {
  std::vector<int32_t> calls;
  largest = -1;
  for (size_t i = 0; i < gt.size(); i += 2) {
    const int a = (static_cast<int8_t>(gt[i]) >> 1) - 1;
    const int b = (static_cast<int8_t>(gt[i + 1]) >> 1) - 1;
    largest = std::max({largest, a, b});
    const bool counted = a >= 0 && b >= 0;
    calls.push_back(counted ? std::min(a, b) : kNoCall);
    calls.push_back(counted ? std::max(a, b) : kNoCall);
  }
  return calls;
}

SamplePopulations populations(size_t samples, int32_t groups, bool leave_out) {
  SamplePopulations pops;
  for (int32_t p = 0; p < groups; ++p) pops.names.push_back(std::string("p").append(std::to_string(p)));
  pops.sample_count.assign(static_cast<size_t>(groups), 0);
  for (size_t j = 0; j < samples; ++j) {
    const int32_t p = leave_out && j % 7 == 3 ? -1 : static_cast<int32_t>(j % 5) % groups;
    pops.of_sample.push_back(p);
    if (p >= 0) ++pops.sample_count[static_cast<size_t>(p)];
  }
  return pops;
}

}  // namespace

TEST(PackedGtCount, AgreesWithTheDecodedCallsForEveryPairOfValues) {
  const std::vector<uint8_t> all = every_pair();
  int32_t largest = 0;
  const std::vector<int32_t> calls = calls_of(all, largest);
  ASSERT_EQ(largest, 62);  // the largest allele 8 bits hold
  for (int32_t groups : {1, 3}) {
    for (bool leave_out : {false, true}) {
      const SamplePopulations pops = populations(all.size() / 2, groups, leave_out);
      for (int32_t n_allele : {2, 5, 63}) {
        SCOPED_TRACE(std::to_string(groups) + " populations, " + std::to_string(n_allele) +
                     " alleles" + (leave_out ? ", some left out" : ""));
        SiteText site;
        site.n_allele = n_allele;
        site.has_gt = true;
        // Keep only the pairs whose alleles the site has: any other makes
        // the record a fault, reported below.
        std::vector<uint8_t> gt;
        for (size_t i = 0; i < all.size(); i += 2) {
          const int a = (static_cast<int8_t>(all[i]) >> 1) - 1;
          const int b = (static_cast<int8_t>(all[i + 1]) >> 1) - 1;
          if (std::max(a, b) < n_allele) gt.insert(gt.end(), {all[i], all[i + 1]});
        }
        const SamplePopulations site_pops = populations(gt.size() / 2, groups, leave_out);
        int32_t site_largest = 0;
        const std::vector<int32_t> site_calls = calls_of(gt, site_largest);
        TallyWorkspace packed, decoded;
        EXPECT_EQ(count_packed_gt(site, gt.data(), site_pops, packed), site_largest);
        count_calls(site, site_calls.data(), site_pops, decoded);
        const size_t cells = static_cast<size_t>(n_allele * (n_allele + 1) / 2) * groups;
        EXPECT_TRUE(
            std::equal(decoded.cells.begin(), decoded.cells.begin() + cells, packed.cells.begin()));
        EXPECT_EQ(packed.counted, decoded.counted);
        int32_t counted = 0;
        for (int32_t c : packed.counted) counted += c;
        EXPECT_GT(counted, 0);

        // With every pair, the largest allele named is reported as such.
        TallyWorkspace whole;
        EXPECT_EQ(count_packed_gt(site, all.data(), pops, whole), 62);
      }
    }
  }
}
