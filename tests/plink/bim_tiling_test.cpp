// Regions tiled from a .bim: every variant in exactly one region, pieces of
// about equal size, a chromosome whole where it cannot be cut safely.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plink/bim_tiling.h"
#include "report/temp_dir.h"

namespace {

struct Variant {
  std::string chrom;
  int64_t pos;
};

bool in_region(const VcfRegion& r, const Variant& v) {
  return r.chrom == v.chrom && (r.whole || (v.pos >= r.from && v.pos <= r.to));
}

std::vector<VcfRegion> tiles(const std::vector<Variant>& variants, uint32_t n) {
  TempDir dir;
  std::string bim;
  for (size_t i = 0; i < variants.size(); ++i)
    bim += variants[i].chrom + "\ts" + std::to_string(i) + "\t0\t" +
           std::to_string(variants[i].pos) + "\tA\tG\n";
  const BimIndex index = index_bim_file(dir.write("t.bim", bim).c_str());
  EXPECT_TRUE(plink_ok(index.failure)) << index.failure.reason;
  return tile_bim_regions(index, n);
}

// Each variant's regions, counted; and the variants per region.
void expect_partition(const std::vector<Variant>& variants, const std::vector<VcfRegion>& regions,
                      std::vector<size_t>& sizes) {
  sizes.assign(regions.size(), 0);
  for (const Variant& v : variants) {
    int hits = 0;
    for (size_t r = 0; r < regions.size(); ++r)
      if (in_region(regions[r], v)) {
        ++hits;
        ++sizes[r];
      }
    ASSERT_EQ(hits, 1) << v.chrom << ":" << v.pos;
  }
}

TEST(BimTiling, EveryVariantInOneRegionOfAboutEqualSize) {
  // Positions repeat across the index's marks (every 1024th line), so a
  // cut at a mark must keep a position's variants together.
  std::vector<Variant> variants;
  for (int i = 0; i < 9000; ++i) variants.push_back({"1", 100 + i / 3});
  for (int i = 0; i < 3000; ++i) variants.push_back({"2", 5 + 7 * i});
  std::vector<size_t> sizes;
  const std::vector<VcfRegion> regions = tiles(variants, 4);
  expect_partition(variants, regions, sizes);
  ASSERT_EQ(regions.size(), 4u);  // 3 on chromosome 1, 1 on 2
  EXPECT_TRUE(regions[3].whole);
  EXPECT_EQ(regions[0].from, 1);
  for (size_t r = 0; r < 3; ++r) EXPECT_NEAR(static_cast<double>(sizes[r]), 3000.0, 1100.0);
  for (uint32_t n : {1u, 2u, 7u, 40u}) {
    expect_partition(variants, tiles(variants, n), sizes);
    EXPECT_LE(tiles(variants, n).size(), std::max<size_t>(n, 2) + 1);
  }
}

TEST(BimTiling, UnsortedOrSplitChromosomesStayWhole) {
  std::vector<Variant> variants;
  for (int i = 0; i < 5000; ++i) variants.push_back({"3", 10000 - i});
  for (int i = 0; i < 3000; ++i) variants.push_back({"4", 1 + i});
  for (int i = 0; i < 3000; ++i) variants.push_back({"5", 1 + i});
  for (int i = 0; i < 3000; ++i) variants.push_back({"4", 5000 + i});
  std::vector<size_t> sizes;
  const std::vector<VcfRegion> regions = tiles(variants, 8);
  expect_partition(variants, regions, sizes);
  int pieces_of_5 = 0;
  for (const VcfRegion& r : regions) {
    if (r.chrom == "5") {
      ++pieces_of_5;
    } else {
      EXPECT_TRUE(r.whole) << r.chrom;
    }
  }
  EXPECT_EQ(regions.size(), 2u + static_cast<size_t>(pieces_of_5));
  EXPECT_EQ(pieces_of_5, 2);  // sorted, its share of 8 cut
}

}  // namespace
