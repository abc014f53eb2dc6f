// The genotype-only scan against htslib's full parser on the same lines:
// both must accept and reject the same records and give the same calls.
#include <gtest/gtest.h>

#include <htslib/kstring.h>
#include <htslib/vcf.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "vcf/gt_text_scan.h"
#include "vcf/hts_handles.h"
#include "vcf/htslib_record.h"

namespace {

constexpr int kSamples = 3;

struct Decoded {
  bool ok = false;
  RecordProblem problem = RecordProblem::kNone;
  std::vector<int32_t> calls;
  LargestAllele largest;
  int64_t pos = 0;
  int32_t n_allele = 0;
  bool has_gt = false;
  std::string chrom, ref, alt;
};

class GtScanVersusHtslib : public ::testing::Test {
 protected:
  void SetUp() override {
    silence_htslib();
    header_.reset(bcf_hdr_init("w"));
    bcf_hdr_append(header_.get(), "##contig=<ID=1>");
    bcf_hdr_append(header_.get(), "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"g\">");
    bcf_hdr_append(header_.get(), "##FORMAT=<ID=DP,Number=1,Type=Integer,Description=\"d\">");
    for (int i = 0; i < kSamples; ++i)
      bcf_hdr_add_sample(header_.get(), std::string("S").append(std::to_string(i)).c_str());
    bcf_hdr_add_sample(header_.get(), nullptr);
    ASSERT_EQ(bcf_hdr_sync(header_.get()), 0);
    record_.reset(bcf_init());
  }

  Decoded scan(const std::string& line) {
    Decoded d;
    VcfTextFields f;
    d.calls.assign(2 * kSamples, 99);
    RecordFault fault = scan_vcf_line(line.data(), line.size(), kSamples, f, d.calls.data(), d.largest);
    std::string scratch;
    SiteText s;
    s.chrom = f.chrom;
    s.ref = f.ref;
    s.alt = alt_as_htslib(f.alt, scratch);
    s.pos = f.pos;
    s.n_allele = f.n_allele;
    s.has_gt = f.has_gt;
    take_site(d, fault, s);
    return d;
  }

  // The outcome and the site's fields, copied out of the decoder's views.
  static void take_site(Decoded& d, const RecordFault& fault, const SiteText& s) {
    d.problem = fault.problem;
    d.ok = fault.problem == RecordProblem::kNone;
    d.pos = s.pos;
    d.n_allele = s.n_allele;
    d.has_gt = s.has_gt;
    d.chrom = s.chrom;
    d.ref = s.ref;
    d.alt = s.alt;
  }

  Decoded parse(const std::string& line) {
    Decoded d;
    OwnedKstring ks;
    kputsn(line.data(), line.size(), &ks.s);
    d.calls.assign(2 * kSamples, 99);
    if (vcf_parse(&ks.s, header_.get(), record_.get()) < 0) return d;
    SiteText s;
    std::string alt;
    HtsIntBuffer gt;
    RecordFault fault = decode_htslib_record(header_.get(), record_.get(), gt, alt, d.calls.data(), s, d.largest);
    take_site(d, fault, s);
    return d;
  }

  // Whether both accepted the line.
  bool expect_same(const std::string& line) {
    SCOPED_TRACE("line: " + line);
    Decoded a = scan(line), b = parse(line);
    EXPECT_EQ(a.ok, b.ok);
    if (!a.ok || !b.ok) return false;
    EXPECT_EQ(a.calls, b.calls);
    EXPECT_EQ(a.largest.allele, b.largest.allele);
    EXPECT_EQ(a.largest.sample, b.largest.sample);
    EXPECT_EQ(a.pos, b.pos);
    EXPECT_EQ(a.n_allele, b.n_allele);
    EXPECT_EQ(a.has_gt, b.has_gt);
    EXPECT_EQ(a.chrom, b.chrom);
    EXPECT_EQ(a.ref, b.ref);
    EXPECT_EQ(a.alt, b.alt);
    return true;
  }

  BcfHeader header_;
  BcfRecord record_;
};

const std::string kFixed = "1\t5\trs1\tA\tC,*,<DEL>\t.\tPASS\tDP=3";

std::string line_with(const std::string& format, const std::vector<std::string>& samples) {
  std::string line = kFixed + "\t" + format;
  for (const std::string& s : samples) line += "\t" + s;
  return line;
}

const char* const kOddGenotypes[] = {
    "0/1", "./.", "0/.", "./1", "0", "1|0", ".|.", ".", "0/1/2", "0|1|2|3", "3/2", "0/4",
    "01/1", "+1/0", "+/0", "++1/0", "", " 0/1", "0/1 ", "0/1/", "0//1", "|0|1", "/0/1", "-1/0",
    "0.5/1", "0/1,", "..", "0..", "x", "1073741822/0", "1073741823/0", "9999999999/0",
    "2147483648/1", "0/1:", "0/1:5:6"};

}  // namespace

TEST_F(GtScanVersusHtslib, OddGenotypesInEveryFormatPosition) {
  for (const char* gt : kOddGenotypes) {
    const std::string g = gt;
    expect_same(line_with("GT", {"0/0", g, "1|1"}));
    expect_same(line_with("GT:DP", {"0/0:4", g + ":7", "1|1:2"}));
    expect_same(line_with("DP:GT", {"4:0/0", "7:" + g, "2:1|1"}));
    expect_same(line_with("DP:GT:DP", {"4:0/0:1", "7:" + g, "2:1|1"}));
  }
}

TEST_F(GtScanVersusHtslib, CallsKeepOnlyDiploidKnownGenotypesUnphasedAndSorted) {
  Decoded d = scan(line_with("GT", {"1|0", "0/.", "2"}));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.calls, (std::vector<int32_t>{0, 1, kNoCall, kNoCall, kNoCall, kNoCall}));
  EXPECT_EQ(d.largest.allele, 2);
  EXPECT_EQ(d.largest.sample, 2);
  Decoded t = scan(line_with("GT", {"0/1/1", "3/3", "*"}));
  EXPECT_FALSE(t.ok);
  Decoded s = scan(line_with("GT", {"0/1/1", "3/3", "0/3"}));
  ASSERT_TRUE(s.ok);
  EXPECT_EQ(s.calls, (std::vector<int32_t>{kNoCall, kNoCall, 3, 3, 0, 3}));
}

TEST_F(GtScanVersusHtslib, ColumnsAndFormatKeys) {
  const std::vector<std::string> lines = {
      kFixed,                                              // no FORMAT: no GT
      "1\t5\t.\tA\tC",                                     // five columns
      "1\t5\t.\tA",                                        // no ALT: REF only
      "1\t5",                                              // no REF
      "1",                                                 // no POS
      "1\tabc\t.\tA\tC\t.\t.\t.\tGT\t0/1\t0/1\t0/1",       // POS not a number
      "1\t0\t.\tA\tC\t.\t.\t.\tGT\t0/1\t0/1\t0/1",         // POS 0
      "1\t5x\t.\tA\tC\t.\t.\t.\tGT\t0/1\t0/1\t0/1",        // POS read up to the x
      "1\t+5\t.\tA\t.\t.\t.\t.\tGT\t0/0\t0/0\t0/0",        // no ALT
      "1\t5\t.\tA\tC,\t.\t.\t.\tGT\t0/2\t0/1\t0/1",        // an empty ALT allele
      "1\t5\t\t\t,C,,\t.\t.\t.\tGT\t0/2\t0/1\t0/1",       // empty ID, REF, alleles
      "1\t5\t.\tA\t\t.\t.\t.\tGT\t0/1\t0/1\t0/1",         // an empty ALT column
      kFixed + "\tDP:GT\t4:0/1\t5:1/1\t2:",                  // GT empty at the end of the line
      kFixed + "\tGT:DP\t0/1:4\t1/1:5\t:2",                  // GT empty before DP
      kFixed + "\tGT",                                     // FORMAT, no samples
      kFixed + "\tGT\t0/1",                                // too few samples
      kFixed + "\tGT\t0/1\t0/1\t",                         // the last one empty at the end
      kFixed + "\tGT\t0/1\t0/1\t0/1\t1/1\t",               // extra columns ignored
      kFixed + "\tGT\t0/1\t\t0/1",                         // an empty GT
      kFixed + "\tDP:GT\t4\t\t2:1/1",                      // samples without GT
      kFixed + "\tGT:GT\t0/1:1/1\t0/0:0/0\t1/1:0/1",       // the first GT counts
      kFixed + "\tXX:GT\t1:0/1\t2:0/0\t3:1/1",             // a key missing from the header
      kFixed + "\tDP\t1\t2\t3",                            // no GT key
      kFixed + "\tGTX:DP\t0/1:1\t0/0:2\t1/1:3",            // GTX is not GT
      kFixed + "\tGT:DP\t0/1:1:\t0/0\t1/1",                // too many values
      kFixed + "\tGT:DP\t0/1:\t0/0:\t1/1::",               // empty values, then one too many
      kFixed + "\tGT\t0/1\t0/0:\t1/1",                     // one value too many
  };
  for (const std::string& line : lines) expect_same(line);
}

TEST_F(GtScanVersusHtslib, RandomGenotypeTextAgrees) {
  std::mt19937_64 rng(20261209);
  // Only GT is compared: text that would turn into another field's value
  // (a tab or ':' before DP) is left out where it would.
  const char* const formats[] = {"GT", "GT:DP", "DP:GT"};
  const std::string alphabets[] = {"0123./|+-:\t x", "0123./|+- x", "0123./|+-: x"};
  int accepted = 0;
  const int trials = 6000;
  for (int trial = 0; trial < trials; ++trial) {
    const std::string format = formats[trial % 3];
    const std::string& alphabet = alphabets[trial % 3];
    std::vector<std::string> samples;
    for (int j = 0; j < kSamples; ++j) {
      // A genotype of one to three alleles, one in four of them with one
      // character replaced or inserted from the alphabet.
      std::string g;
      const int ploidy = 1 + static_cast<int>(rng() % 3);
      for (int a = 0; a < ploidy; ++a) {
        if (a > 0) g.push_back(rng() % 2 ? '/' : '|');
        g += rng() % 5 == 0 ? std::string(".") : std::to_string(rng() % 4);
      }
      if (rng() % 4 == 0) {
        size_t at = rng() % (g.size() + 1);
        char c = alphabet[rng() % alphabet.size()];
        if (at < g.size() && rng() % 2) g[at] = c;
        else g.insert(g.begin() + static_cast<std::ptrdiff_t>(at), c);
      }
      if (format == "GT:DP") g += ":5";
      if (format == "DP:GT") g = "5:" + g;
      samples.push_back(g);
    }
    accepted += expect_same(line_with(format, samples));
    if (HasFailure()) return;
  }
  // Both outcomes well represented, or the comparison proves little.
  EXPECT_GT(accepted, trials / 5);
  EXPECT_LT(accepted, trials * 4 / 5);
}

// A line whose ALT lists ten thousand alleles, a few of them called: the
// counting scan gives the counts of the written calls.
TEST(GtScanWide, ManyAltAllelesAreCountedFromTheWrittenCalls) {
  std::string alt;
  for (int i = 0; i < 10000; ++i) alt += (i ? ",<A" : "<A") + std::to_string(i) + ">";
  std::string line = "1\t5\t.\tA\t" + alt + "\t.\t.\t.\tGT";
  const char* gts[] = {"0/3", "3|9", "./.", "9/9", "0/0", "10000/3", "1"};
  for (const char* g : gts) line += std::string("\t") + g;
  const SamplePopulations pops = all_samples_one_population(7);
  TallyWorkspace work;
  VcfTextFields f;
  LargestAllele largest;
  ASSERT_EQ(scan_and_count_vcf_line(line.data(), line.size(), pops, f, work, largest).problem,
            RecordProblem::kNone);
  EXPECT_EQ(f.n_allele, 10001);
  EXPECT_EQ(largest.allele, 10000);
  ASSERT_TRUE(work.sparse);
  EXPECT_EQ(work.counted, std::vector<int32_t>{5});
  EXPECT_EQ(work.sparse_alleles, (std::vector<int32_t>{0, 3, 9, 10000}));
  // 0/0 0/3 . . 3/9 . 9/9 3/10000 over k = 4: (0,0) (0,1) (1,2) (2,2) (1,3).
  EXPECT_EQ(work.sparse_counts, (std::vector<int32_t>{1, 1, 0, 0, 0, 1, 1, 1, 0, 0}));
}
