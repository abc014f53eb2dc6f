// The reader against the test's own counting of a simulated file, and the
// same units whatever the form of the file, the decoder, the block size,
// the threads or the regions it is read through.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "sites/site_key.h"
#include "vcf/region_tiling.h"
#include "vcf/vcf_region.h"
#include "vcf/simulated_vcf.h"
#include "vcf/vcf_test_files.h"

namespace {

// The units the file should give, counted from the genotype text alone.
std::vector<FlatUnit> expected_units(const SimulatedVcf& v, const std::vector<std::string>& pop_names,
                                     const std::vector<int>& pop_of_sample) {
  std::vector<FlatUnit> out;
  for (const SimulatedSite& s : v.sites) {
    for (size_t p = 0; p < pop_names.size(); ++p) {
      FlatUnit u;
      u.chrom = s.chrom;
      u.pos = s.pos;
      u.ref = s.ref;
      u.alt = s.alt;
      u.population = pop_names[p];
      u.has_gt = s.has_gt;
      std::map<std::pair<int, int>, int> genotypes;
      int members = 0;
      for (size_t j = 0; j < s.gt.size(); ++j) {
        if (pop_of_sample[j] != static_cast<int>(p)) continue;
        ++members;
        if (!s.has_gt) continue;
        const std::string& g = s.gt[j];
        size_t sep = g.find_first_of("/|");
        if (sep == std::string::npos || g.find_first_of("/|", sep + 1) != std::string::npos) continue;
        std::string a = g.substr(0, sep), b = g.substr(sep + 1);
        if (a == "." || b == ".") continue;
        int x = std::stoi(a), y = std::stoi(b);
        ++genotypes[{std::min(x, y), std::max(x, y)}];
        ++u.n;
      }
      u.missing = members - u.n;
      std::set<int> present;
      for (const auto& [g, c] : genotypes) present.insert({g.first, g.second});
      u.alleles.assign(present.begin(), present.end());
      u.k = static_cast<int32_t>(u.alleles.size());
      u.counts.assign(static_cast<size_t>(u.k * (u.k + 1) / 2), 0);
      for (const auto& [g, c] : genotypes) {
        int i = static_cast<int>(std::find(u.alleles.begin(), u.alleles.end(), g.first) - u.alleles.begin());
        int j = static_cast<int>(std::find(u.alleles.begin(), u.alleles.end(), g.second) - u.alleles.begin());
        u.counts[static_cast<size_t>(i * u.k + j - i * (i + 1) / 2)] = c;
      }
      out.push_back(u);
    }
  }
  return out;
}

// Compares what both readings hold; the ID and the key are the reader's.
void expect_counts(const std::vector<FlatUnit>& got, const std::vector<FlatUnit>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE(want[i].chrom + ":" + std::to_string(want[i].pos) + " " + want[i].population);
    EXPECT_EQ(got[i].chrom, want[i].chrom);
    EXPECT_EQ(got[i].pos, want[i].pos);
    EXPECT_EQ(got[i].ref, want[i].ref);
    EXPECT_EQ(got[i].alt, want[i].alt);
    EXPECT_EQ(got[i].population, want[i].population);
    EXPECT_EQ(got[i].has_gt, want[i].has_gt);
    EXPECT_EQ(got[i].n, want[i].n);
    EXPECT_EQ(got[i].missing, want[i].missing);
    EXPECT_EQ(got[i].k, want[i].k);
    EXPECT_EQ(got[i].alleles, want[i].alleles);
    EXPECT_EQ(got[i].counts, want[i].counts);
  }
}

class VcfReaderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    vcf_ = new SimulatedVcf(simulate_vcf(40, 300, 17));
    files_ = new VcfTriple(make_vcf_triple(*dir_, "sim", vcf_->text));
  }
  static void TearDownTestSuite() {
    delete files_;
    delete vcf_;
    delete dir_;
  }
  static TempDir* dir_;
  static SimulatedVcf* vcf_;
  static VcfTriple* files_;
};
TempDir* VcfReaderTest::dir_ = nullptr;
SimulatedVcf* VcfReaderTest::vcf_ = nullptr;
VcfTriple* VcfReaderTest::files_ = nullptr;

}  // namespace

TEST_F(VcfReaderTest, CountsMatchAnIndependentReadingOfTheText) {
  FlatRead r = read_flat(files_->vcf);
  ASSERT_TRUE(vcf_ok(r.failure)) << describe_vcf_failure(r.failure);
  std::vector<int> one(vcf_->samples.size(), 0);
  expect_counts(r.units, expected_units(*vcf_, {"all"}, one));
  // The simulation must reach the cases it is there for.
  int multi = 0, absent_allele = 0, no_gt = 0;
  for (const FlatUnit& u : r.units) {
    multi += u.k > 2;
    absent_allele += u.has_gt && u.k < static_cast<int32_t>(std::count(u.alt.begin(), u.alt.end(), ',') + 2);
    no_gt += !u.has_gt;
  }
  EXPECT_GT(multi, 10);
  EXPECT_GT(absent_allele, 10);
  EXPECT_GT(no_gt, 5);
}

TEST_F(VcfReaderTest, PopulationsFollowThePopsFile) {
  // South first, so it is population 0; S3 is left out; ghost is not in the file.
  std::string pops = "S2 south\nS1\tnorth\n\nghost north\n";
  std::vector<int> pop(vcf_->samples.size(), -1);
  pop[1] = 0;
  pop[0] = 1;
  for (size_t j = 3; j < vcf_->samples.size(); ++j) {
    pops += vcf_->samples[j] + (j % 2 ? " north\n" : " south\n");
    pop[j] = j % 2 ? 1 : 0;
  }
  PopsFile file = read_pops_file(dir_->write("pops.txt", pops).c_str());
  ASSERT_TRUE(vcf_ok(file.failure)) << describe_vcf_failure(file.failure);
  VcfReadOptions options;
  options.pops = &file.entries;
  for (const std::string* path : {&files_->vcf, &files_->bcf}) {
    FlatRead r = read_flat(*path, options);
    ASSERT_TRUE(vcf_ok(r.failure)) << describe_vcf_failure(r.failure);
    EXPECT_EQ(r.unknown, std::vector<std::string>{"ghost"});
    expect_counts(r.units, expected_units(*vcf_, {"south", "north"}, pop));
  }
}

TEST_F(VcfReaderTest, EveryFormDecoderBlockSizeAndThreadCountGivesTheSameUnits) {
  const FlatRead base = read_flat(files_->vcf);
  ASSERT_TRUE(vcf_ok(base.failure));
  VcfReadOptions full;
  full.decoder = GtDecoder::kHtslib;
  VcfReadOptions threads;
  threads.threads = 2;
  const std::vector<FlatRead> others = {
      read_flat(files_->gz), read_flat(files_->bcf), read_flat(files_->vcf, full),
      read_flat(files_->gz, full), read_flat(files_->gz, threads), read_flat(files_->bcf, threads),
      read_flat(files_->vcf, {}, 1), read_flat(files_->bcf, {}, 7)};
  for (const FlatRead& r : others) {
    ASSERT_TRUE(vcf_ok(r.failure)) << describe_vcf_failure(r.failure);
    EXPECT_TRUE(r.units == base.units);
  }
}

TEST_F(VcfReaderTest, RegionsReadOnlyTheSitesThatStartInThem) {
  const FlatRead all = read_flat(files_->vcf);
  // A window whose left edge lies inside long deletions starting before it.
  const std::vector<std::string> texts = {"chr1:1530-3000", "chr2:1000-1400", "chr2", "chrUn:1-100"};
  VcfReadOptions options;
  for (const std::string& t : texts) options.regions.push_back(*parse_region(t));
  // chr2:1000-1400 lies in chr2: its sites come once; chrUn is not in the file.
  std::vector<FlatUnit> want;
  for (const FlatUnit& u : all.units)
    if (u.chrom == "chr1" && u.pos >= 1530 && u.pos <= 3000) want.push_back(u);
  for (const FlatUnit& u : all.units)
    if (u.chrom == "chr2") want.push_back(u);
  for (const std::string* path : {&files_->gz, &files_->bcf}) {
    for (GtDecoder d : {GtDecoder::kTextScan, GtDecoder::kHtslib}) {
      options.decoder = d;
      FlatRead r = read_flat(*path, options);
      ASSERT_TRUE(vcf_ok(r.failure)) << describe_vcf_failure(r.failure);
      EXPECT_TRUE(r.units == want) << *path;
      EXPECT_EQ(r.notes.absent_contigs, std::vector<std::string>{"chrUn"});
      EXPECT_EQ(r.notes.contigs, (std::vector<std::string>{"chr1", "chr2"}));
    }
  }
  // The test covers the case it is about: a deletion reaching into chr1:1530.
  bool overlapping = false;
  for (const FlatUnit& u : all.units)
    overlapping |= u.chrom == "chr1" && u.pos < 1530 && u.pos + static_cast<int64_t>(u.ref.size()) > 1530;
  EXPECT_TRUE(overlapping);
}

TEST_F(VcfReaderTest, TiledRegionsGiveEverySiteExactlyOnce) {
  const FlatRead all = read_flat(files_->vcf);
  for (const std::string* path : {&files_->gz, &files_->bcf}) {
    for (int n : {1, 2, 5, 40}) {
      RegionTiling t = tile_regions(path->c_str(), n);
      ASSERT_TRUE(vcf_ok(t.failure)) << describe_vcf_failure(t.failure);
      EXPECT_GE(static_cast<int>(t.regions.size()), std::min(n, 2));
      EXPECT_LE(static_cast<int>(t.regions.size()), std::max(n, 2));
      std::vector<FlatUnit> joined;
      for (const VcfRegion& g : t.regions) {
        VcfReadOptions options;
        options.regions = {*parse_region(format_region(g))};
        FlatRead r = read_flat(*path, options);
        ASSERT_TRUE(vcf_ok(r.failure)) << describe_vcf_failure(r.failure);
        joined.insert(joined.end(), r.units.begin(), r.units.end());
      }
      EXPECT_TRUE(joined == all.units) << *path << " in " << n;
    }
  }
}

TEST_F(VcfReaderTest, RegionsNeedAnIndex) {
  VcfReadOptions options;
  options.regions = {*parse_region("chr1:1-2000")};
  FlatRead r = read_flat(files_->vcf, options);
  EXPECT_EQ(r.failure.status, VcfStatus::kNoIndex);
  EXPECT_NE(describe_vcf_failure(r.failure).find("index"), std::string::npos);
  EXPECT_EQ(tile_regions(files_->vcf.c_str(), 3).failure.status, VcfStatus::kNoIndex);
}

TEST_F(VcfReaderTest, KeysFollowTheStatedHashAndNumberIdenticalRecords) {
  const FlatRead all = read_flat(files_->vcf);
  std::set<uint64_t> keys;
  int repeated = 0;
  for (size_t i = 0; i < all.units.size(); ++i) {
    const FlatUnit& u = all.units[i];
    const bool second = i > 0 && all.units[i - 1].pos == u.pos && all.units[i - 1].chrom == u.chrom &&
                        all.units[i - 1].ref == u.ref && all.units[i - 1].alt == u.alt;
    repeated += second;
    EXPECT_EQ(u.key, site_unit_key(u.chrom, u.pos, u.ref, u.alt, u.population, second ? 2 : 1));
    keys.insert(u.key);
  }
  EXPECT_EQ(repeated, 1);
  EXPECT_EQ(keys.size(), all.units.size());
}

TEST(RegionTiling, CutsContigsIntoRegionsOfAboutEqualSites) {
  // Some 30 compressed blocks and 60 windows of the index per contig, so
  // that the index can tell where to cut.
  TempDir dir;
  const SimulatedVcf vcf = simulate_vcf(200, 2000, 5, 1000);
  const VcfTriple files = make_vcf_triple(dir, "big", vcf.text);
  const size_t sites = vcf.sites.size();
  for (const std::string* path : {&files.gz, &files.bcf}) {
    for (int n : {4, 8}) {
      RegionTiling t = tile_regions(path->c_str(), n);
      ASSERT_TRUE(vcf_ok(t.failure));
      ASSERT_EQ(static_cast<int>(t.regions.size()), n) << *path;
      size_t total = 0;
      for (const VcfRegion& g : t.regions) {
        VcfReadOptions options;
        options.regions = {g};
        FlatRead r = read_flat(*path, options);
        ASSERT_TRUE(vcf_ok(r.failure));
        total += r.units.size();
        EXPECT_GT(r.units.size(), sites / n / 2) << format_region(g);
        EXPECT_LT(r.units.size(), sites / n * 3 / 2) << format_region(g);
      }
      EXPECT_EQ(total, sites);
    }
  }
}
