// Opening a file: the header's lines counted as they are, and the index
// held to the file it is beside; regions tiled from the index alone.
#include <gtest/gtest.h>
#include <htslib/tbx.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "vcf/region_tiling.h"
#include "vcf/simulated_vcf.h"
#include "vcf/vcf_test_files.h"

namespace {

std::string sample_header(int samples, const std::string& contigs) {
  std::string h = "##fileformat=VCFv4.2\n" + contigs +
                  "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
                  "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
  for (int j = 0; j < samples; ++j) h += "\tS" + std::to_string(j + 1);
  return h + "\n";
}

std::string site_line(const std::string& chrom, int64_t pos, int samples) {
  std::string line = chrom + "\t" + std::to_string(pos) + "\t.\tA\tC\t.\t.\t.\tGT";
  for (int j = 0; j < samples; ++j) line += j % 3 ? "\t0/1" : "\t1/1";
  return line + "\n";
}

void set_mtime(const std::string& path, std::filesystem::file_time_type t) {
  std::filesystem::last_write_time(path, t);
}

size_t sites_in(const std::string& path, const VcfRegion& g) {
  VcfReadOptions options;
  options.regions = {*parse_region(format_region(g))};
  const FlatRead r = read_flat(path, options);
  EXPECT_TRUE(vcf_ok(r.failure)) << describe_vcf_failure(r.failure);
  return r.units.size();
}

}  // namespace

TEST(VcfHeader, BlankHeaderLinesCountForTheLineOfARecord) {
  TempDir dir;
  std::string header = sample_header(2, "\n##contig=<ID=1>\n\n");
  const std::string text = header + site_line("1", 5, 2) + "1\t9\t.\tA\tC\t.\t.\t.\tGT\t0/1\t0/x\n";
  // Line 1 fileformat, 2 blank, 3 contig, 4 blank, 5 FORMAT, 6 #CHROM, 7 and 8 records.
  for (const std::string& path : {dir.write("blank.vcf", text), dir.file("blank.vcf.gz")}) {
    if (path.ends_with(".gz")) {
      ASSERT_TRUE(bgzip_to(text, path));
    }
    EXPECT_EQ(describe_vcf_failure(read_flat(path).failure),
              "line 8: GT of sample S2 is not a number or '.'")
        << path;
  }
  // A header without its #CHROM line is not read as records.
  const std::string headless =
      dir.write("headless.vcf", "##fileformat=VCFv4.2\n" + site_line("1", 5, 2));
  const FlatRead r = read_flat(headless);
  EXPECT_EQ(r.failure.status, VcfStatus::kNotVcf);
  EXPECT_EQ(describe_vcf_failure(r.failure), "line 2: a record before the #CHROM line");
}

TEST(VcfIndex, AnIndexOlderThanItsDataIsNotedAndRefusedForTiling) {
  TempDir dir;
  const VcfTriple t = make_vcf_triple(dir, "sim", simulate_vcf(30, 200, 3).text);
  for (const std::string* path : {&t.gz, &t.bcf}) {
    const std::string index = *path + (path == &t.gz ? ".tbi" : ".csi");
    const auto now = std::filesystem::last_write_time(index);
    set_mtime(*path, now + std::chrono::seconds(10));
    VcfReadOptions options;
    options.regions = {*parse_region("chr1")};
    const FlatRead r = read_flat(*path, options);
    ASSERT_TRUE(vcf_ok(r.failure)) << describe_vcf_failure(r.failure);
    EXPECT_EQ(r.notes.older_index, index);
    const RegionTiling tiling = tile_regions(path->c_str(), 4);
    EXPECT_EQ(tiling.failure.status, VcfStatus::kStaleIndex);
    EXPECT_NE(tiling.failure.reason.find("the index " + index + " is older than the file"),
              std::string::npos)
        << tiling.failure.reason;
    EXPECT_TRUE(tiling.regions.empty());
    // Made again, all is well.
    set_mtime(index, now + std::chrono::seconds(20));
    EXPECT_TRUE(vcf_ok(tile_regions(path->c_str(), 4).failure));
    EXPECT_EQ(read_flat(*path, options).notes.older_index, "");
  }
}

TEST(VcfIndex, AnIndexThatDoesNotCoverItsFileIsRefusedWhateverTheTimes) {
  TempDir dir;
  const int samples = 30;
  const std::string text = simulate_vcf(samples, 400, 5).text;
  const VcfTriple t = make_vcf_triple(dir, "sim", text);
  // Sites appended after the index was made, as a BGZF member of their own
  // (bgzip -c more.vcf >> f.vcf.gz), the times agreeing.
  std::string more;
  for (int i = 0; i < 300; ++i) more += site_line("chr2", 200000 + 10 * i, samples);
  const std::string tail = dir.file("tail.gz");
  ASSERT_TRUE(bgzip_to(more, tail));
  dir.write("sim.vcf.gz", read_bytes(t.gz) + read_bytes(tail));
  set_mtime(t.gz + ".tbi", std::filesystem::last_write_time(t.gz));
  ASSERT_EQ(read_flat(t.gz).units.size(), 401u + 300u);
  VcfReadOptions options;
  options.regions = {*parse_region("chr2")};
  FlatRead r = read_flat(t.gz, options);
  EXPECT_EQ(r.failure.status, VcfStatus::kStaleIndex);
  EXPECT_EQ(r.failure.reason, "the file has data past the last record its index " + t.gz +
                                  ".tbi knows of (sites added after the index was made, or the "
                                  "index is another file's): make it again with tabix -f -p vcf");
  EXPECT_EQ(tile_regions(t.gz.c_str(), 3).failure.status, VcfStatus::kStaleIndex);
  // The same sites added to the text, the whole compressed again: the index's
  // last place is now inside a block.
  ASSERT_TRUE(bgzip_to(text + more, t.gz));
  set_mtime(t.gz + ".tbi", std::filesystem::last_write_time(t.gz));
  r = read_flat(t.gz, options);
  EXPECT_EQ(r.failure.status, VcfStatus::kIndexMismatch);
  EXPECT_EQ(tile_regions(t.gz.c_str(), 3).failure.status, VcfStatus::kIndexMismatch);

  // The index of another, larger file.
  const VcfTriple other = make_vcf_triple(dir, "other", simulate_vcf(50, 900, 6).text);
  const std::string old_index = read_bytes(t.gz + ".tbi");
  dir.write("sim.vcf.gz.tbi", read_bytes(other.gz + ".tbi"));
  ASSERT_TRUE(bgzip_to(text, t.gz));
  set_mtime(t.gz + ".tbi", std::filesystem::last_write_time(t.gz));
  r = read_flat(t.gz, options);
  EXPECT_EQ(r.failure.status, VcfStatus::kIndexMismatch) << describe_vcf_failure(r.failure);
  EXPECT_NE(r.failure.reason.find("does not match the file"), std::string::npos);
  EXPECT_EQ(tile_regions(t.gz.c_str(), 3).failure.status, VcfStatus::kIndexMismatch);
  // And a smaller one: it points to a place inside the data.
  dir.write("other.vcf.gz.tbi", old_index);
  set_mtime(other.gz + ".tbi", std::filesystem::last_write_time(other.gz));
  r = read_flat(other.gz, options);
  EXPECT_FALSE(vcf_ok(r.failure));
  EXPECT_NE(r.failure.reason.find("make it again with tabix -f -p vcf"), std::string::npos)
      << r.failure.reason;
}

TEST(RegionTiling, PositionsBeyondInt32AndNamesWithColonsAreTiledWhole) {
  TempDir dir;
  const int samples = 4;
  // chrUn:1-5 read as a region would be chrUn, positions 1-5.
  const std::string contigs =
      "##contig=<ID=chrUn,length=1000>\n##contig=<ID=chrUn:1-5,length=100000>\n";
  std::string colons;
  for (int64_t i = 0; i < 3; ++i) colons += site_line("chrUn", 2 + i, samples);
  for (int64_t i = 0; i < 40; ++i) colons += site_line("chrUn:1-5", 1 + 2000 * i, samples);
  // BCF holds positions below 2^31 only: beyond it, VCF text with a CSI index.
  std::string big;
  size_t above = 0;
  for (int64_t i = 0; i < 150; ++i) {
    big += site_line("1", 1 + i * 20000000, samples);
    above += 1 + i * 20000000 > 2147483647;
  }
  ASSERT_GT(above, 40u);
  const std::string text =
      sample_header(samples, "##contig=<ID=1,length=3100000000>\n" + contigs) + big + colons;
  const std::string gz = dir.file("big.vcf.gz");
  ASSERT_TRUE(bgzip_to(text, gz));
  ASSERT_EQ(tbx_index_build(gz.c_str(), 14, &tbx_conf_vcf), 0);  // CSI
  const std::string bcf = dir.file("colons.bcf");
  ASSERT_TRUE(
      convert_to_bcf(dir.write("colons.vcf", sample_header(samples, contigs) + colons), bcf));
  for (const auto& [path, sites] : {std::pair<std::string, size_t>{gz, 193}, {bcf, 43}}) {
    for (int n : {1, 3, 4, 9}) {
      SCOPED_TRACE(path + " in " + std::to_string(n));
      const RegionTiling t = tile_regions(path.c_str(), n);
      ASSERT_TRUE(vcf_ok(t.failure)) << describe_vcf_failure(t.failure);
      size_t total = 0;
      for (const VcfRegion& g : t.regions) {
        total += sites_in(path, g);
        if (g.chrom == "chrUn:1-5") {
          EXPECT_EQ(format_region(g).substr(0, 11), "{chrUn:1-5}");
        }
      }
      EXPECT_EQ(total, sites);
    }
  }
  // Read back through the index, the whole contig and a range past 2^31.
  VcfReadOptions options;
  options.regions = {*parse_region("1:2,147,483,648-3000000000")};
  EXPECT_EQ(read_flat(gz, options).units.size(), above);
}

TEST(RegionTiling, ManyMoreRegionsThanPlacesToCutCostNothingMore) {
  TempDir dir;
  const VcfTriple t = make_vcf_triple(dir, "small", simulate_vcf(20, 120, 8).text);
  for (const std::string* path : {&t.gz, &t.bcf}) {
    const auto start = std::chrono::steady_clock::now();
    const RegionTiling many = tile_regions(path->c_str(), 1000000);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(vcf_ok(many.failure));
    // Two contigs of 2 kb each: one window each, nothing to cut.
    EXPECT_EQ(many.regions.size(), 2u);
    EXPECT_LT(seconds, 2.0);
    EXPECT_EQ(format_region(many.regions[0]), "chr1");
  }
}
