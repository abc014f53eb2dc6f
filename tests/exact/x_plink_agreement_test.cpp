// Biallelic X sites against plink2 --hardy: the Graffelman-Weir p and its
// mid-p, and the female-only p, to plink's six printed digits, with males
// coded haploid and coded diploid homozygous, a few male heterozygotes
// (missing to both) and samples of unknown sex (left out by both). The
// male counts come from the calls through the counting rule the readers
// use. Skips without plink2.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "exact/x_linked_exact.h"
#include "sex/male_call.h"

namespace {

bool have_plink2() { return std::system("plink2 --version >/dev/null 2>&1") == 0; }

constexpr int kMales = 300, kFemales = 300, kUnknown = 4;

struct Site {
  int male_a, male_b, male_het;
  int64_t aa, ab, bb;
};

const std::vector<Site> kSites = {
    {180, 120, 0, 110, 140, 50}, {150, 147, 3, 75, 150, 75},   {250, 50, 0, 200, 40, 60},
    {100, 195, 5, 10, 200, 90},  {290, 0, 0, 280, 20, 0},      {5, 295, 0, 0, 10, 290},
    {60, 238, 2, 150, 0, 150},   {140, 150, 10, 120, 130, 50}, {200, 40, 0, 90, 80, 20},
};

// The male calls of a site: A, B, heterozygous, then missing.
std::vector<std::string> male_calls(const Site& s, bool diploid) {
  std::vector<std::string> calls;
  for (int i = 0; i < s.male_a; ++i) calls.push_back(diploid ? "0/0" : "0");
  for (int i = 0; i < s.male_b; ++i) calls.push_back(diploid ? "1/1" : "1");
  for (int i = 0; i < s.male_het; ++i) calls.push_back("0/1");
  EXPECT_LE(static_cast<int>(calls.size()), kMales);
  while (static_cast<int>(calls.size()) < kMales) calls.push_back(diploid ? "./." : ".");
  return calls;
}

// Male copies from the calls as the readers count them.
std::vector<int64_t> count_males(const std::vector<std::string>& calls) {
  std::vector<int64_t> copies(2, 0);
  for (const std::string& c : calls) {
    auto allele = [](char ch) { return ch == '.' ? -1 : ch - '0'; };
    const MaleCall m = c.size() == 1 ? count_male_x_call(1, allele(c[0]), -1)
                                     : count_male_x_call(2, allele(c[0]), allele(c[2]));
    if (m.kind == MaleCallKind::kOneCopy) ++copies[m.allele];
  }
  return copies;
}

// Column name to value for each line of a plink2 report.
std::vector<std::map<std::string, std::string>> read_report(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::string line;
  std::vector<std::string> header;
  std::vector<std::map<std::string, std::string>> rows;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::vector<std::string> cells;
    for (std::string cell; std::getline(fields, cell, '\t');) cells.push_back(cell);
    if (header.empty()) {
      header = cells;
      continue;
    }
    std::map<std::string, std::string>& row = rows.emplace_back();
    for (size_t i = 0; i < cells.size() && i < header.size(); ++i) row[header[i]] = cells[i];
  }
  return rows;
}

TEST(XPlinkAgreement, BiallelicXSitesMatchPlink2Hardy) {
  if (!have_plink2()) GTEST_SKIP() << "plink2 not installed";
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("hwmc_xplink_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::vector<XLinkedSample> samples;
  {
    std::ofstream vcf(dir / "x.vcf");
    vcf << "##fileformat=VCFv4.2\n##contig=<ID=X,length=156040895>\n"
           "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
           "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
    std::ofstream psam(dir / "x.psam");
    psam << "#IID\tSEX\n";
    for (int i = 0; i < kMales; ++i) {
      vcf << "\tM" << i;
      psam << "M" << i << "\t1\n";
    }
    for (int i = 0; i < kFemales; ++i) {
      vcf << "\tF" << i;
      psam << "F" << i << "\t2\n";
    }
    for (int i = 0; i < kUnknown; ++i) {
      vcf << "\tU" << i;
      psam << "U" << i << "\tNA\n";
    }
    vcf << "\n";
    int pos = 5000000;
    for (size_t s = 0; s < kSites.size(); ++s) {
      for (const bool diploid : {false, true}) {
        const Site& site = kSites[s];
        const std::vector<std::string> males = male_calls(site, diploid);
        vcf << "X\t" << pos++ << "\tv" << s << (diploid ? "d" : "h") << "\tA\tC\t.\t.\t.\tGT";
        for (const std::string& c : males) vcf << "\t" << c;
        int written = 0;
        for (int64_t i = 0; i < site.aa; ++i, ++written) vcf << "\t0/0";
        for (int64_t i = 0; i < site.ab; ++i, ++written) vcf << "\t0/1";
        for (int64_t i = 0; i < site.bb; ++i, ++written) vcf << "\t1/1";
        for (; written < kFemales; ++written) vcf << "\t./.";
        for (int i = 0; i < kUnknown; ++i) vcf << (i % 2 ? "\t0/1" : "\t1/1");
        vcf << "\n";
        samples.push_back({2, count_males(males), {site.aa, site.ab, site.bb}});
      }
    }
  }
  const std::string plink = "cd '" + dir.string() +
                            "' && plink2 --vcf x.vcf --update-sex x.psam --split-par b38 "
                            "--threads 1 --hardy cols=+femalep";
  ASSERT_EQ(std::system((plink + " --out p >/dev/null 2>&1").c_str()), 0);
  ASSERT_EQ(std::system((plink + " midp --out m >/dev/null 2>&1").c_str()), 0);
  const auto p_rows = read_report(dir / "p.hardy.x");
  const auto mid_rows = read_report(dir / "m.hardy.x");
  std::filesystem::remove_all(dir);
  ASSERT_EQ(p_rows.size(), samples.size());
  ASSERT_EQ(mid_rows.size(), samples.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    const XLinkedSample& s = samples[i];
    SCOPED_TRACE(p_rows[i].at("ID"));
    EXPECT_EQ(std::to_string(s.males[0]), p_rows[i].at("MALE_A1_CT"));
    XLinkedResult x;
    ASSERT_EQ(run_x_linked_exact(s, {}, x), ExactStatus::kOk);
    ExactResult f;
    ASSERT_EQ(run_exact_tests({2, s.females}, {}, f), ExactStatus::kOk);
    auto near = [](double ours, const std::string& printed) {
      const double theirs = std::stod(printed);
      EXPECT_NEAR(ours / theirs, 1.0, 6e-6) << ours << " vs " << printed;
    };
    near(x.prob.p, p_rows[i].at("P"));
    near(x.prob_mid, mid_rows[i].at("MIDP"));
    near(f.test[ExactTest::kProb].p, p_rows[i].at("FEMALE_ONLY_P"));
  }
}

}  // namespace
