// Regions against the whole file filtered by the test: sorted chromosomes
// long enough for the index's marks, an unsorted one, a chromosome split in
// two runs, negative positions (left out), ties, and codes written in
// another form than the file's; only the regions' .bed bytes are read.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "plink/plink_test_files.h"

namespace {

struct Variant {
  std::string chrom;  // as written in the .bim
  std::string name;   // as read
  int64_t pos;
};

TEST(PlinkRegions, ReadOnlyTheirVariantsAndBytes) {
  std::mt19937_64 rng(17);
  std::vector<Variant> variants;
  for (int i = 0; i < 3500; ++i)
    variants.push_back({"1", "1", 1000 + 10 * i - (i % 97 == 0 ? 10 : 0)});
  for (int i = 0; i < 300; ++i)  // unsorted, with ties and negative positions
    variants.push_back({"chr23", "X", i % 50 == 7 ? -1 : static_cast<int64_t>(rng() % 5000)});
  for (int i = 0; i < 40; ++i) variants.push_back({"01", "1", 100000 + i});  // chromosome 1 again
  const int samples = 9;
  std::string bim;
  std::vector<std::vector<int>> codes;
  for (size_t v = 0; v < variants.size(); ++v) {
    bim += variants[v].chrom + " v" + std::to_string(v) + " 0 " + std::to_string(variants[v].pos) +
           " G T\n";
    codes.emplace_back();
    for (int j = 0; j < samples; ++j) codes.back().push_back(static_cast<int>(rng() % 4));
  }
  std::string fam;
  for (int j = 0; j < samples; ++j) fam += "f s" + std::to_string(j) + " 0 0 0 -9\n";
  TempDir dir;
  const PlinkPaths paths = write_fileset(dir, "regions", fam, bim, codes);

  const PlinkFlat whole = read_plink_flat(paths);
  ASSERT_TRUE(plink_ok(whole.failure)) << describe_plink_failure(whole.failure);
  size_t kept = 0;
  for (const Variant& v : variants) kept += v.pos >= 0;
  ASSERT_EQ(whole.units.size(), kept);  // one population

  const std::vector<std::vector<std::string>> region_lists = {
      {"1:20000-21500"},                    // within one run, far from its start
      {"1:1000-1000", "1:35990-36000"},     // the first and last of a run
      {"X:100-900", "chrX:4000-4999"},      // the unsorted run
      {"23"},                               // all of it
      {"1:30000-200000"},                   // both runs of chromosome 1
      {"7", "X:6000-9000", "1:5-99"},       // nothing
      {"01:10000-10500", "1:10200-10300"},  // overlapping: twice
  };
  const uint64_t each = (samples + 3) / 4;
  for (const std::vector<std::string>& list : region_lists) {
    SCOPED_TRACE(list[0]);
    PlinkReadOptions options;
    std::vector<FlatUnit> want;
    for (const std::string& text : list) {
      const auto region = parse_region(text);
      ASSERT_TRUE(region);
      options.regions.push_back(*region);
      std::string chrom;
      classify_plink_chrom(region->chrom, chrom);
      for (const FlatUnit& u : whole.units)
        if (u.chrom == chrom && u.pos >= region->from && u.pos <= region->to) want.push_back(u);
    }
    for (size_t block : {size_t{1}, size_t{100}}) {
      const PlinkFlat got = read_plink_flat(paths, options, block);
      ASSERT_TRUE(plink_ok(got.failure)) << describe_plink_failure(got.failure);
      EXPECT_EQ(got.units, want);
      EXPECT_EQ(got.bed_bytes_read, want.size() * each);
    }
  }
  EXPECT_EQ(whole.bed_bytes_read, kept * each);  // not those left out
}

}  // namespace
