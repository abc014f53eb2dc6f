#include "vcf/vcf_copy.h"

#include <gtest/gtest.h>
#include <fcntl.h>

#include <cmath>
#include <string>
#include <vector>

#include "report/temp_dir.h"
#include "vcf/vcf_reader.h"
#include "vcf_test_files.h"

namespace {

const std::vector<std::string> kKeys = {"HWE_P", "HWE_FIS"};

std::string annotated(const std::string& line, std::vector<float> values, FilterMark mark) {
  std::string out;
  annotate_vcf_line(line, kKeys, values.data(), "HWE", mark, out);
  return out;
}

TEST(VcfCopy, OnlyFilterAndInfoChangeAndOldValuesGo) {
  const float none = NAN;
  EXPECT_EQ(annotated("1\t5\trs1\tA\tG\t50\tPASS\t.\tGT\t0/1", {0.25f, -0.5f}, FilterMark::kSet),
            "1\t5\trs1\tA\tG\t50\tHWE\tHWE_P=0.25;HWE_FIS=-0.5\tGT\t0/1");
  // Another tag's value stays, an old HWE_P goes, a key that only starts
  // like one stays; without a value a tag is left out.
  EXPECT_EQ(annotated("1\t5\t.\tA\tG\t.\tq10\tDP=3;HWE_P=0.9;HWE_PX=1;DB\tGT", {1e-7f, none},
                      FilterMark::kSet),
            "1\t5\t.\tA\tG\t.\tq10;HWE\tDP=3;HWE_PX=1;DB;HWE_P=1e-07\tGT");
  EXPECT_EQ(annotated("1\t5\t.\tA\tG\t.\t.\tHWE_P=0.9\tGT", {none, none}, FilterMark::kLeave),
            "1\t5\t.\tA\tG\t.\t.\t.\tGT");
  // Cleared: a failing mark from before goes, PASS where nothing is left.
  EXPECT_EQ(annotated("1\t5\t.\tA\tG\t.\tHWE\t.", {0.5f, none}, FilterMark::kClear),
            "1\t5\t.\tA\tG\t.\tPASS\tHWE_P=0.5");
  EXPECT_EQ(annotated("1\t5\t.\tA\tG\t.\tq10;HWE;s50\t.", {none, none}, FilterMark::kClear),
            "1\t5\t.\tA\tG\t.\tq10;s50\t.");
  EXPECT_EQ(annotated("1\t5\t.\tA\tG\t.\t.\t.", {none, none}, FilterMark::kClear),
            "1\t5\t.\tA\tG\t.\t.\t.");
  // Set twice is once; a sites-only line without INFO gets one.
  EXPECT_EQ(annotated("1\t5\t.\tA\tG\t.\tHWE\t.", {none, none}, FilterMark::kSet),
            "1\t5\t.\tA\tG\t.\tHWE\t.");
  EXPECT_EQ(annotated("1\t5\t.\tA\tG\t.\tPASS", {0.5f, none}, FilterMark::kLeave),
            "1\t5\t.\tA\tG\t.\tPASS\tHWE_P=0.5");
}

TEST(VcfCopy, TheNameChoosesTheForm) {
  EXPECT_EQ(copy_format_of("-"), CopyFormat::kVcf);
  EXPECT_EQ(copy_format_of("a.vcf"), CopyFormat::kVcf);
  EXPECT_EQ(copy_format_of("dir.vcf/a.vcf.gz"), CopyFormat::kVcfBgzf);
  EXPECT_EQ(copy_format_of("a.vcf.bgz"), CopyFormat::kVcfBgzf);
  EXPECT_EQ(copy_format_of("a.bcf"), CopyFormat::kBcf);
  EXPECT_FALSE(copy_format_of("a.gz"));
  EXPECT_FALSE(copy_format_of("a.vcf.txt"));
  EXPECT_EQ(copy_index_suffix(CopyFormat::kBcf), ".csi");
  EXPECT_EQ(copy_index_suffix(CopyFormat::kVcfBgzf), ".tbi");
  EXPECT_EQ(copy_index_suffix(CopyFormat::kVcf), "");
}

const char kHeader[] =
    "##fileformat=VCFv4.2\n##contig=<ID=1>\n##contig=<ID=Y>\n"
    "##INFO=<ID=DP,Number=1,Type=Integer,Description=\"Depth\">\n"
    "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
    "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tM1\tF1\tF2\n";
const char kRecords[] =
    "1\t10\ta\tA\tG\t.\tPASS\tDP=4\tGT\t0/1\t1/1\t0/0\n"
    "1\t20\tb\tC\tT,G\t.\t.\t.\tGT\t0/2\t1/1\t./.\n"
    "Y\t30\tc\tG\tA\t.\tPASS\t.\tGT\t1\t.\t.\n";

std::vector<std::string> record_lines() {
  std::vector<std::string> lines;
  const std::string all = kRecords;
  for (size_t at = 0; at < all.size();) {
    const size_t end = all.find('\n', at);
    lines.push_back(all.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

struct KeptRead {
  VcfFailure failure;
  std::vector<KeptRecords> batches;
};

KeptRead read_kept(const std::string& path, KeptForm form, const std::vector<SexEntry>* sexes) {
  KeptRead out;
  VcfReadOptions options;
  options.keep = form;
  options.sexes = sexes;
  VcfReader reader;
  out.failure = open_vcf(path.c_str(), options, reader);
  SiteBlock block;
  while (vcf_ok(out.failure)) {
    out.batches.emplace_back();
    out.failure = read_site_block(reader, block, 1, &out.batches.back());
    if (block.sites.empty()) break;
  }
  return out;
}

TEST(VcfCopy, TheReaderKeepsEveryRecordWithItsUnits) {
  TempDir dir;
  const VcfTriple files = make_vcf_triple(dir, "k", std::string(kHeader) + kRecords);
  const std::vector<SexEntry> sexes = {{"M1", Sex::kMale}, {"F1", Sex::kFemale},
                                       {"F2", Sex::kFemale}};
  for (const std::string& path : {files.vcf, files.gz, files.bcf}) {
    for (KeptForm form : {KeptForm::kText, KeptForm::kRecord}) {
      const KeptRead r = read_kept(path, form, &sexes);
      ASSERT_TRUE(vcf_ok(r.failure)) << describe_vcf_failure(r.failure);
      // One site a block, then the end with the Y record, read, not tested.
      ASSERT_EQ(r.batches.size(), 3u) << path;
      EXPECT_TRUE(r.batches[0].header);
      EXPECT_EQ(r.batches[0].populations, std::vector<std::string>{"all"});
      EXPECT_FALSE(r.batches[1].header);
      const bool text = path != files.bcf && form == KeptForm::kText;
      for (size_t b = 0; b < 3; ++b) {
        const KeptRecords& k = r.batches[b];
        ASSERT_EQ(k.list.size(), 1u);
        EXPECT_EQ(k.list[0].first_unit, 0u);
        EXPECT_EQ(k.list[0].units, b < 2 ? 1u : 0u);
        EXPECT_EQ(k.form, text ? KeptForm::kText : KeptForm::kRecord);
        if (text) {
          EXPECT_EQ(kept_line(k, 0), record_lines()[b]);
        } else {
          ASSERT_EQ(k.records.size(), 1u);
          EXPECT_EQ(k.records[0]->pos + 1, 10 * static_cast<int64_t>(b + 1));
        }
      }
    }
  }
}

TEST(VcfCopy, ABcfCopyOfVcfTextNeedsEveryKeyDeclared) {
  TempDir dir;
  const std::string path = dir.write(
      "u.vcf", std::string(kHeader) + "1\t10\ta\tA\tG\t.\tPASS\tXX=1\tGT\t0/1\t1/1\t0/0\n");
  const KeptRead text = read_kept(path, KeptForm::kText, nullptr);
  EXPECT_TRUE(vcf_ok(text.failure));
  const KeptRead record = read_kept(path, KeptForm::kRecord, nullptr);
  EXPECT_EQ(record.failure.status, VcfStatus::kMalformed);
  EXPECT_NE(record.failure.reason.find("does not declare"), std::string::npos);
}

// A BCF copy read back by htslib: each tag as its value or absent, the
// filter set and cleared, FORMAT as it was.
TEST(VcfCopy, ABcfCopyHoldsTheTagsAndTheFilter) {
  TempDir dir;
  const VcfTriple files = make_vcf_triple(dir, "c", std::string(kHeader) + kRecords);
  const KeptRead r = read_kept(files.bcf, KeptForm::kRecord, nullptr);
  ASSERT_TRUE(vcf_ok(r.failure));
  CopyPlan plan;
  plan.tags = {{"HWE_P", "p"}, {"HWE_FIS", "f"}};
  plan.filter = "HWE";
  plan.filter_description = "failed";
  const std::string out = dir.file("copy.bcf");
  VcfCopy copy;
  const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_EQ(open_vcf_copy(fd, CopyFormat::kBcf, r.batches[0].header.get(), plan, 0, copy), "");
  const float values[3][2] = {{1e-30f, 0.5f}, {NAN, -1}, {NAN, NAN}};
  const FilterMark marks[3] = {FilterMark::kSet, FilterMark::kClear, FilterMark::kLeave};
  std::vector<KeptRecords> batches;
  for (size_t b = 0; b < 3; ++b) {
    KeptRecords k;
    k.form = r.batches[b].form;
    k.list = r.batches[b].list;
    for (const BcfRecord& rec : r.batches[b].records) k.records.emplace_back(bcf_dup(rec.get()));
    ASSERT_EQ(write_copy_record(copy, k, 0, values[b], marks[b]), "");
  }
  ASSERT_EQ(close_vcf_copy(copy), "");
  ASSERT_EQ(index_vcf_copy(out, out + ".csi", CopyFormat::kBcf, 0), "");

  HtsFile in(hts_open(out.c_str(), "r"));
  ASSERT_TRUE(in);
  BcfHeader h(bcf_hdr_read(in.get()));
  BcfRecord rec(bcf_init());
  float* got = nullptr;
  int got_size = 0;
  std::vector<std::string> filters;
  std::vector<std::vector<float>> tags;
  while (bcf_read(in.get(), h.get(), rec.get()) == 0) {
    bcf_unpack(rec.get(), BCF_UN_ALL);
    std::string f;
    for (int i = 0; i < rec->d.n_flt; ++i) f += bcf_hdr_int2id(h.get(), BCF_DT_ID, rec->d.flt[i]);
    filters.push_back(f);
    std::vector<float> v;
    for (const char* key : {"HWE_P", "HWE_FIS"})
      v.push_back(bcf_get_info_float(h.get(), rec.get(), key, &got, &got_size) == 1 ? *got : -9);
    tags.push_back(v);
  }
  std::free(got);
  EXPECT_EQ(filters, (std::vector<std::string>{"HWE", "", "PASS"}));
  EXPECT_EQ(tags, (std::vector<std::vector<float>>{{1e-30f, 0.5f}, {-9, -1}, {-9, -9}}));
  HtsIndex index(hts_idx_load2(out.c_str(), (out + ".csi").c_str()));
  EXPECT_TRUE(index);
}

}  // namespace
