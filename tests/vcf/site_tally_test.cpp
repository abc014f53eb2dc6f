// The one-pass count of 8-bit BCF genotypes against the count of decoded
// calls, over every pair of values a sample can hold.
#include "vcf/site_tally.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// One site's calls counted and its units added, as the reader does it.
void count_and_add(const SiteText& s, const int32_t* calls, const SamplePopulations& pops,
                   uint64_t key_prefix, uint32_t occurrence, TallyWorkspace& w, SiteBlock& b) {
  count_calls(s, calls, pops, w);
  add_site_units(s, pops, key_prefix, occurrence, w, b);
}

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

namespace {

struct TalliedUnit {
  int32_t k, n, missing;
  std::vector<int32_t> alleles, counts;
  bool operator==(const TalliedUnit&) const = default;
};

std::vector<TalliedUnit> units_of(const SiteBlock& b) {
  std::vector<TalliedUnit> out;
  for (const SiteUnit& u : b.units) {
    TalliedUnit t{u.k, u.n, u.missing, {}, {}};
    t.alleles.assign(unit_alleles(b, u), unit_alleles(b, u) + u.k);
    t.counts.assign(unit_counts(b, u), unit_counts(b, u) + u.k * (u.k + 1) / 2);
    out.push_back(std::move(t));
  }
  return out;
}

size_t workspace_cells(const TallyWorkspace& w) {
  return w.cells.capacity() + w.copies.capacity() + w.sparse_counts.capacity() +
         w.sparse_rank.capacity() + w.rank.capacity();
}

}  // namespace

// Ten thousand ALT alleles of which a few are called: the sparse count gives
// the units of the dense one, in memory that follows the alleles called.
TEST(SparseCount, ManyDeclaredAllelesGiveTheUnitsOfTheDenseCount) {
  const size_t samples = 60;
  const SamplePopulations pops = populations(samples, 3, true);
  std::vector<int32_t> calls;
  const int32_t used[] = {0, 3, 7, 9};
  for (size_t j = 0; j < samples; ++j) {
    if (j % 11 == 4) {
      calls.insert(calls.end(), {kNoCall, kNoCall});
      continue;
    }
    const int32_t a = used[j % 4], b = used[(j / 4) % 4];
    calls.push_back(std::min(a, b));
    calls.push_back(std::max(a, b));
  }
  SiteText narrow;
  narrow.n_allele = 10;
  narrow.has_gt = true;
  SiteText wide = narrow;
  wide.n_allele = 10001;
  ASSERT_TRUE(dense_count_fits(narrow.n_allele, pops));
  ASSERT_FALSE(dense_count_fits(wide.n_allele, pops));
  TallyWorkspace dense_work, sparse_work;
  SiteBlock dense, sparse;
  count_and_add(narrow, calls.data(), pops, 1, 1, dense_work, dense);
  count_and_add(wide, calls.data(), pops, 1, 1, sparse_work, sparse);
  EXPECT_TRUE(sparse_work.sparse);
  EXPECT_TRUE(units_of(sparse) == units_of(dense));
  ASSERT_EQ(dense.units.size(), 3u);
  EXPECT_EQ(dense.units[0].k, 4);
  EXPECT_LT(workspace_cells(sparse_work), size_t{100000});
  // A site without GT, then one with, in the same workspace.
  SiteText none = wide;
  none.has_gt = false;
  SiteBlock empty;
  count_and_add(none, calls.data(), pops, 1, 1, sparse_work, empty);
  for (const SiteUnit& u : empty.units) EXPECT_EQ(u.k, 0);
  clear_site_block(sparse);
  count_and_add(wide, calls.data(), pops, 1, 1, sparse_work, sparse);
  EXPECT_TRUE(units_of(sparse) == units_of(dense));

  // Many populations of a few samples each: sparse too.
  SamplePopulations many;
  for (size_t j = 0; j < samples; ++j) {
    many.names.push_back(std::string("p").append(std::to_string(j)));
    many.of_sample.push_back(static_cast<int32_t>(j));
    many.sample_count.push_back(1);
  }
  many.names.resize(20000, "unused");
  many.sample_count.resize(20000, 0);
  EXPECT_FALSE(dense_count_fits(narrow.n_allele, many));
}
