// Bad input of every kind comes back as a status with the place and the
// reason the user is shown.
#include <gtest/gtest.h>

#include <string>

#include "vcf/sample_populations.h"
#include "vcf/vcf_test_files.h"

namespace {

const std::string kHeader =
    "##fileformat=VCFv4.2\n##contig=<ID=chr1>\n"
    "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
    "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tA\tB\n";

std::string describe(const FlatRead& r) { return describe_vcf_failure(r.failure); }

}  // namespace

TEST(VcfFailure, RecordsAtFaultAreNamedByLineRecordOrPosition) {
  TempDir dir;
  // Line 6: a GT that is not a number; line 7 would be fine.
  const VcfTriple bad_gt = make_vcf_triple(dir, "gt", kHeader + "chr1\t10\t.\tA\tC\t.\t.\t.\tGT\t0/1\t1/1\n"
                                                              "chr1\t20\t.\tA\tC\t.\t.\t.\tGT\t0/1x\t1/1\n"
                                                              "chr1\t30\t.\tA\tC\t.\t.\t.\tGT\t0/1\t1/1\n");
  for (const std::string* path : {&bad_gt.vcf, &bad_gt.gz}) {
    FlatRead r = read_flat(*path);
    EXPECT_EQ(r.failure.status, VcfStatus::kMalformed);
    EXPECT_EQ(describe(r), "line 6: GT of sample A is followed by 'x'");
    EXPECT_TRUE(r.units.size() <= 1);  // at most the block before the fault
  }
  VcfReadOptions full;
  full.decoder = GtDecoder::kHtslib;
  EXPECT_EQ(describe(read_flat(bad_gt.vcf, full)), "line 6: malformed record");

  // An allele index beyond REF and ALT: htslib keeps it, so the BCF has it too.
  const VcfTriple beyond = make_vcf_triple(dir, "beyond", kHeader + "chr1\t10\t.\tA\tC\t.\t.\t.\tGT\t0/1\t1/1\n"
                                                                    "chr1\t20\t.\tA\tC,G\t.\t.\t.\tGT\t0/1\t3/1\n");
  const std::string why = "GT of sample B names allele 3 but the site has 3 alleles";
  EXPECT_EQ(describe(read_flat(beyond.vcf)), "line 6: " + why);
  EXPECT_EQ(describe(read_flat(beyond.vcf, full)), "line 6: " + why);
  EXPECT_EQ(describe(read_flat(beyond.bcf)), "record 2: " + why);
  VcfReadOptions region;
  region.regions = {*parse_region("chr1:15-25")};
  EXPECT_EQ(describe(read_flat(beyond.gz, region)), "chr1:20: " + why);
  EXPECT_EQ(describe(read_flat(beyond.bcf, region)), "chr1:20: " + why);
  // A sample before the last, and in the middle of a run of plain calls.
  const VcfTriple first =
      make_vcf_triple(dir, "first", kHeader + "chr1\t10\t.\tA\tC\t.\t.\t.\tGT\t0|2\t0/1\n");
  const std::string first_why = "GT of sample A names allele 2 but the site has 2 alleles";
  EXPECT_EQ(describe(read_flat(first.vcf)), "line 5: " + first_why);
  EXPECT_EQ(describe(read_flat(first.bcf)), "record 1: " + first_why);
  // Also where the call is not counted, half missing: the allele is named.
  const VcfTriple half =
      make_vcf_triple(dir, "half", kHeader + "chr1\t10\t.\tA\tC\t.\t.\t.\tGT\t0/1\t.|2\n");
  const std::string half_why = "GT of sample B names allele 2 but the site has 2 alleles";
  EXPECT_EQ(describe(read_flat(half.vcf)), "line 5: " + half_why);
  EXPECT_EQ(describe(read_flat(half.bcf)), "record 1: " + half_why);

  const VcfTriple few = make_vcf_triple(dir, "few", kHeader + "chr1\t10\t.\tA\tC\t.\t.\t.\tGT\t0/1\n");
  EXPECT_EQ(describe(read_flat(few.vcf)), "line 5: 1 sample columns for 2 samples in the header");
  const VcfTriple pos = make_vcf_triple(dir, "pos", kHeader + "chr1\tten\t.\tA\tC\t.\t.\t.\tGT\t0/1\t0/0\n");
  EXPECT_EQ(describe(read_flat(pos.vcf)), "line 5: POS is not a positive number");
  EXPECT_EQ(describe(read_flat(pos.vcf, full)), "line 5: POS is not a positive number");
  const std::string blank = dir.write("blank.vcf", kHeader + "chr1\t10\t.\tA\tC\t.\t.\t.\tGT\t0/1\t1/1\n\n");
  EXPECT_EQ(describe(read_flat(blank)), "line 6: empty line");
}

TEST(VcfFailure, FilesThatAreNotVcf) {
  TempDir dir;
  EXPECT_EQ(read_flat(dir.file("absent.vcf")).failure.status, VcfStatus::kCannotOpen);
  FlatRead text = read_flat(dir.write("plain.txt", "aa:10\nab:5\n"));
  EXPECT_EQ(text.failure.status, VcfStatus::kNotVcf);
  EXPECT_EQ(describe(text), "not a VCF or BCF file");
}

TEST(VcfFailure, SitesWithoutGtAreKeptAsUnitsWithoutCounts) {
  TempDir dir;
  std::string header = kHeader;
  header.insert(header.find("#CHROM"), "##FORMAT=<ID=DP,Number=1,Type=Integer,Description=\"Depth\">\n");
  const VcfTriple t = make_vcf_triple(dir, "nogt", header + "chr1\t10\t.\tA\tC\t.\t.\t.\tDP\t3\t4\n");
  for (const std::string* path : {&t.vcf, &t.bcf}) {
    FlatRead r = read_flat(*path);
    ASSERT_TRUE(vcf_ok(r.failure)) << describe(r);
    ASSERT_EQ(r.units.size(), 1u);
    EXPECT_FALSE(r.units[0].has_gt);
    EXPECT_EQ(r.units[0].k, 0);
    EXPECT_EQ(r.units[0].missing, 2);
  }
}

TEST(PopsFile, TwoColumnsEachIdOnce) {
  TempDir dir;
  PopsFile ok = read_pops_file(dir.write("ok.txt", "A  north\r\n\n B\tsouth \nC north\n").c_str());
  ASSERT_TRUE(vcf_ok(ok.failure));
  ASSERT_EQ(ok.entries.size(), 3u);
  EXPECT_EQ(ok.entries[1].sample, "B");
  EXPECT_EQ(ok.entries[1].population, "south");

  PopsFile twice = read_pops_file(dir.write("twice.txt", "A north\nB south\nA south\n").c_str());
  EXPECT_EQ(twice.failure.status, VcfStatus::kBadPops);
  EXPECT_EQ(describe_vcf_failure(twice.failure), "line 3: sample \"A\" listed twice (first on line 1)");
  EXPECT_TRUE(twice.entries.empty());

  PopsFile short_line = read_pops_file(dir.write("short.txt", "A north\nB\n").c_str());
  EXPECT_EQ(describe_vcf_failure(short_line.failure), "line 2: expected a sample ID and a population name");
  PopsFile long_line = read_pops_file(dir.write("long.txt", "A north x\n").c_str());
  EXPECT_EQ(long_line.failure.status, VcfStatus::kBadPops);
  EXPECT_EQ(read_pops_file(dir.file("none.txt").c_str()).failure.status, VcfStatus::kBadPops);
  // Nothing to group by: no population at all, not one population of none.
  PopsFile empty = read_pops_file(dir.write("empty.txt", "\n \n").c_str());
  EXPECT_EQ(describe_vcf_failure(empty.failure), "no sample in the populations file");
  PopsFile na = read_pops_file(dir.write("na.txt", "A north\nB NA\n").c_str());
  EXPECT_EQ(na.failure.status, VcfStatus::kBadPops);
  EXPECT_EQ(na.failure.number, 2u);
  EXPECT_TRUE(vcf_ok(read_pops_file(dir.write("nan.txt", "A NAN\nB na\n").c_str()).failure));
}

TEST(PopsFile, PopulationsInOrderOfFirstAppearance) {
  SamplePopulations p = assign_populations({{"C", "south"}, {"X", "east"}, {"A", "north"}, {"D", "south"}},
                                           {"A", "B", "C", "D"});
  EXPECT_EQ(p.names, (std::vector<std::string>{"south", "east", "north"}));
  EXPECT_EQ(p.of_sample, (std::vector<int32_t>{2, -1, 0, 0}));
  EXPECT_EQ(p.sample_count, (std::vector<int32_t>{2, 0, 1}));
  EXPECT_EQ(p.unknown, std::vector<std::string>{"X"});
  EXPECT_EQ(p.left_out_count, 1u);
  EXPECT_EQ(p.left_out, std::vector<std::string>{"B"});
  std::vector<std::string> many;
  for (int i = 0; i < 9; ++i) many.push_back("s" + std::to_string(i));
  const SamplePopulations none = assign_populations({{"F_s1", "a"}}, many);
  EXPECT_EQ(none.left_out_count, 9u);
  EXPECT_EQ(none.left_out, (std::vector<std::string>(many.begin(), many.begin() + kLeftOutExamples)));
}

TEST(RegionText, ChromOrChromWithRange) {
  auto r = parse_region("chr1:1001-2000");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->chrom, "chr1");
  EXPECT_EQ(r->from, 1001);
  EXPECT_EQ(r->to, 2000);
  EXPECT_EQ(format_region(*r), "chr1:1001-2000");
  // A name with ':' may read as a position: the reader tells which by the
  // file's contigs (resolve_region).
  auto whole = parse_region("HLA-A*01:01");
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->chrom, "HLA-A*01");
  EXPECT_EQ(whole->from, 1);
  EXPECT_EQ(whole->to, 1);
  EXPECT_EQ(whole->whole_name, "HLA-A*01:01");
  auto hla = whole;
  EXPECT_TRUE(resolve_region(*hla, [](const std::string& c) { return c == "HLA-A*01:01"; }));
  EXPECT_TRUE(hla->whole);
  EXPECT_EQ(hla->chrom, "HLA-A*01:01");
  EXPECT_FALSE(resolve_region(*whole, [](const std::string&) { return true; }));
  auto plain = parse_region("HLA-A*01:01");
  EXPECT_TRUE(resolve_region(*plain, [](const std::string& c) { return c == "HLA-A*01"; }));
  EXPECT_EQ(plain->to, 1);
  auto named = parse_region("chrUn:7:5-9");
  ASSERT_TRUE(named);
  EXPECT_EQ(named->chrom, "chrUn:7");
  EXPECT_FALSE(parse_region(""));
  EXPECT_FALSE(parse_region("chr1:20-10"));
  EXPECT_FALSE(parse_region("chr1:0-10"));
  EXPECT_FALSE(parse_region(":1-10"));
}

TEST(RegionText, TheFormsOfBcftoolsAndTabix) {
  struct Case {
    const char* text;
    const char* chrom;
    int64_t from, to;
  };
  const Case cases[] = {
      {"1:100", "1", 100, 100},
      {"1:100-", "1", 100, kRegionEnd},
      {"1:-100", "1", 1, 100},
      {"1:1,000-2,000", "1", 1000, 2000},
      {"chr1:1,234,567", "chr1", 1234567, 1234567},
      {"{chrUn:1-5}:1-100", "chrUn:1-5", 1, 100},
      {"{a:b}:7-", "a:b", 7, kRegionEnd},
      {"{a}b:c}:7-", "a}b:c", 7, kRegionEnd},  // the last '}' before a range
      // A 16-digit end is a number; one too large for any position, the end.
      {"1:5-1234567890123456", "1", 5, 1234567890123456},
      {"1:5-99999999999999999999999", "1", 5, kRegionEnd},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto r = parse_region(c.text);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->chrom, c.chrom);
    EXPECT_EQ(r->from, c.from);
    EXPECT_EQ(r->to, c.to);
    EXPECT_FALSE(r->whole);
    // Written and read back, the same region.
    const auto back = parse_region(format_region(*r));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->chrom, r->chrom);
    EXPECT_EQ(back->from, r->from);
    EXPECT_EQ(back->to, r->to);
  }
  const auto braced = parse_region("{chrUn:1-5}");
  ASSERT_TRUE(braced);
  EXPECT_TRUE(braced->whole);
  EXPECT_EQ(braced->chrom, "chrUn:1-5");
  EXPECT_EQ(format_region(*braced), "{chrUn:1-5}");
  EXPECT_TRUE(braced->whole_name.empty());
  // Not a range, so part of the name; broken braces are no region.
  EXPECT_EQ(parse_region("1:1,,000-5")->chrom, "1:1,,000-5");
  EXPECT_EQ(parse_region("chr1:")->chrom, "chr1:");
  EXPECT_EQ(parse_region("HLA-A")->chrom, "HLA-A");
  for (const char* bad : {"{}", "{chr1", "{chr1}x", "{chr1}:", "{chr1}:9-3", "1:5-4", "1:0"})
    EXPECT_FALSE(parse_region(bad)) << bad;
}

TEST(RegionText, OverlappingRegionsAreJoined) {
  auto regions = [](std::vector<const char*> texts) {
    std::vector<VcfRegion> out;
    for (const char* t : texts) out.push_back(*parse_region(t));
    std::vector<std::string> formatted;
    for (const VcfRegion& g : merge_regions(out)) formatted.push_back(format_region(g));
    return formatted;
  };
  using Texts = std::vector<std::string>;
  EXPECT_EQ(regions({"2:50-60", "1:10-20", "1:15-30", "2:1-5", "1:31-40"}),
            (Texts{"2:1-5", "2:50-60", "1:10-40"}));
  EXPECT_EQ(regions({"1:100-200", "1", "1:5"}), (Texts{"1"}));
  EXPECT_EQ(regions({"1:100-", "1:50-99"}), (Texts{"1:50-"}));
  EXPECT_EQ(regions({"1:10-20", "1:22-30"}), (Texts{"1:10-20", "1:22-30"}));
}
