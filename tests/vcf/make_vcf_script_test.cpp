// The benchmark's data script makes the file it promises: its sites, allele
// counts, missing share and heterozygote deficit, read back by the reader.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "vcf/vcf_test_files.h"

namespace {

// 1 - observed / expected heterozygosity of one unit.
double deficit(const FlatUnit& u) {
  std::vector<double> copies(static_cast<size_t>(u.k), 0);
  double het = 0;
  for (int i = 0; i < u.k; ++i)
    for (int j = i; j < u.k; ++j) {
      double c = u.counts[static_cast<size_t>(i * u.k + j - i * (i + 1) / 2)];
      copies[static_cast<size_t>(i)] += c;
      copies[static_cast<size_t>(j)] += c;
      if (i != j) het += c;
    }
  double homozygous = 0;
  for (double c : copies) homozygous += (c / (2.0 * u.n)) * (c / (2.0 * u.n));
  return 1 - (het / u.n) / (1 - homozygous);
}

}  // namespace

TEST(MakeVcfScript, SitesAllelesMissingAndDeficitAsStated) {
  if (std::system("python3 -c '' 2>/dev/null") != 0) GTEST_SKIP() << "python3 is not installed";
  TempDir dir;
  const std::string path = dir.file("made.vcf");
  const std::string command =
      "python3 " HWMC_SOURCE_DIR "/scripts/make-vcf.py 400 380 40 3 > " + path;
  ASSERT_EQ(std::system(command.c_str()), 0);
  FlatRead r = read_flat(path);
  ASSERT_TRUE(vcf_ok(r.failure)) << describe_vcf_failure(r.failure);
  ASSERT_EQ(r.units.size(), 420u);
  int multi = 0;
  double deficit_sum[2] = {0, 0};
  int deficit_sites[2] = {0, 0};
  for (size_t s = 0; s < r.units.size(); ++s) {
    const FlatUnit& u = r.units[s];
    const int n_allele = static_cast<int>(std::count(u.alt.begin(), u.alt.end(), ',')) + 2;
    EXPECT_EQ(u.missing, 4) << u.pos;
    EXPECT_EQ(u.n, 396);
    if (n_allele > 2) {
      ++multi;
      EXPECT_GE(n_allele, 3);
      EXPECT_LE(n_allele, 12);
    }
    if (u.k < 2) continue;
    const bool inbred = s % 20 == 19;
    deficit_sum[inbred] += deficit(u);
    ++deficit_sites[inbred];
  }
  EXPECT_EQ(multi, 40);
  EXPECT_NEAR(deficit_sum[0] / deficit_sites[0], 0.0, 0.05);
  EXPECT_NEAR(deficit_sum[1] / deficit_sites[1], 0.3, 0.1);
}
