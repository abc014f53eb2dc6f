// The two-allele probability test is the standard SNP exact test: p_prob must
// agree with plink2 --hardy to its six printed significant digits, tiny p
// values included. Skips without plink2.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "exact/exact_tests.h"

namespace {

bool have_plink2() { return std::system("plink2 --version >/dev/null 2>&1") == 0; }

// AA AB BB of 200 samples: near and far from the proportions, p from 1 down
// to about 1e-61.
const std::vector<std::tuple<int64_t, int64_t, int64_t>> kSites = {
    {50, 100, 50}, {10, 80, 110}, {100, 0, 100}, {150, 0, 50}, {0, 200, 0},
    {1, 10, 189},  {90, 20, 90},  {190, 0, 10},  {30, 40, 130}, {2, 36, 162}};

TEST(PlinkAgreement, TwoAlleleProbabilityTestMatchesPlink2Hardy) {
  if (!have_plink2()) GTEST_SKIP() << "plink2 not installed";
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("hwmc_plink_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  {
    std::ofstream vcf(dir / "sites.vcf");
    vcf << "##fileformat=VCFv4.2\n##contig=<ID=1>\n"
           "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
           "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
    for (int i = 0; i < 200; ++i) vcf << "\tS" << i;
    vcf << "\n";
    for (size_t s = 0; s < kSites.size(); ++s) {
      const auto [aa, ab, bb] = kSites[s];
      vcf << "1\t" << 100 + s << "\tv" << s << "\tA\tC\t.\t.\t.\tGT";
      for (int64_t i = 0; i < aa; ++i) vcf << "\t0/0";
      for (int64_t i = 0; i < ab; ++i) vcf << "\t0/1";
      for (int64_t i = 0; i < bb; ++i) vcf << "\t1/1";
      vcf << "\n";
    }
  }
  const std::string command = "cd '" + dir.string() +
                              "' && plink2 --vcf sites.vcf --hardy --vcf-half-call missing "
                              "--out out >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream hardy(dir / "out.hardy");
  std::string line;
  ASSERT_TRUE(std::getline(hardy, line));  // header, P last
  std::vector<double> plink_p;
  while (std::getline(hardy, line)) {
    plink_p.push_back(std::stod(line.substr(line.rfind('\t') + 1)));
  }
  std::filesystem::remove_all(dir);
  ASSERT_EQ(plink_p.size(), kSites.size());
  for (size_t s = 0; s < kSites.size(); ++s) {
    const auto [aa, ab, bb] = kSites[s];
    SCOPED_TRACE(std::to_string(aa) + " " + std::to_string(ab) + " " + std::to_string(bb));
    ExactResult r;
    ASSERT_EQ(run_exact_tests(ExactSample{2, {aa, ab, bb}}, ExactOptions{}, r), ExactStatus::kOk);
    const double p = r.test[ExactTest::kProb].p;
    // Six significant digits: within half a unit of the sixth.
    EXPECT_NEAR(p / plink_p[s], 1.0, 6e-6) << p << " vs " << plink_p[s];
  }
}

}  // namespace
