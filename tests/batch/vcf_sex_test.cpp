// hwmc --vcf --sex end to end: X outside the pseudo-autosomal regions with
// males hemizygous, against plink2 --hardy on biallelic sites (both codings
// of males, VCF and BCF), against an enumeration of its own on a
// multi-allelic site, and the rules for the PAR, Y, MT and samples of
// unknown sex with their messages.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "batch/tsv_cells.h"
#include "batch/vcf_run.h"
#include "report/temp_dir.h"

namespace {

double number(const Row& r, const std::string& column) {
  const auto it = r.find(column);
  EXPECT_NE(it, r.end()) << column;
  return it == r.end() ? NAN : std::strtod(it->second.c_str(), nullptr);
}

std::string cell(const Row& r, const std::string& column) {
  const auto it = r.find(column);
  return it == r.end() ? "(absent)" : it->second;
}

// males M1.., then females F1.., then the samples of unknown sex U1...
std::string header_of(int males, int females, int unknown) {
  std::string h = "##fileformat=VCFv4.2\n##contig=<ID=X>\n##contig=<ID=Y>\n##contig=<ID=MT>\n"
                  "##contig=<ID=1>\n"
                  "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
                  "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
  for (int j = 0; j < males; ++j) h += "\tM" + std::to_string(j + 1);
  for (int j = 0; j < females; ++j) h += "\tF" + std::to_string(j + 1);
  for (int j = 0; j < unknown; ++j) h += "\tU" + std::to_string(j + 1);
  return h + "\n";
}

std::string sex_file(int males, int females, int unknown) {
  std::string s;
  for (int j = 0; j < males; ++j) s += "M" + std::to_string(j + 1) + "\t1\n";
  for (int j = 0; j < females; ++j) s += "F" + std::to_string(j + 1) + "\tF\n";
  for (int j = 0; j < unknown; ++j) s += "U" + std::to_string(j + 1) + " unknown\n";
  return s;
}

std::string site_line(const std::string& chrom, int64_t pos, const std::string& alt,
                      const std::vector<std::string>& calls) {
  std::string line = chrom + "\t" + std::to_string(pos) + "\t.\tA\t" + alt + "\t.\t.\t.\tGT";
  for (const std::string& c : calls) line += "\t" + c;
  return line + "\n";
}

// The calls of a biallelic X site: males with a copies of A and b of G
// (haploid or diploid homozygous), `het` male error calls, then the
// females' genotypes.
std::vector<std::string> x_calls(int a, int b, int het, int aa, int ag, int gg, bool diploid) {
  std::vector<std::string> calls;
  for (int i = 0; i < a; ++i) calls.push_back(diploid ? "0/0" : "0");
  for (int i = 0; i < b; ++i) calls.push_back(diploid ? "1|1" : "1");
  for (int i = 0; i < het; ++i) calls.push_back("0/1");
  for (int i = 0; i < aa; ++i) calls.push_back("0/0");
  for (int i = 0; i < ag; ++i) calls.push_back("0/1");
  for (int i = 0; i < gg; ++i) calls.push_back("1/1");
  return calls;
}

std::string six_digits(double p) {
  char text[32];
  std::snprintf(text, sizeof text, "%.5e", p);
  return text;
}

bool have(const char* tool) {
  return std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0;
}

// Both codings of males, as VCF text and as BCF, agree with plink2's
// Graffelman-Weir p and its female-only p on every site, and with each
// other cell for cell.
TEST(VcfSex, AgreesWithPlink2HardyOnXForBothCodingsOfMales) {
  if (!have("plink2")) GTEST_SKIP() << "plink2 is not installed: the X comparison is skipped";
  TempDir dir;
  constexpr int kMales = 60, kFemales = 80;
  std::mt19937_64 rng(11);
  std::string text[2] = {header_of(kMales, kFemales, 0), header_of(kMales, kFemales, 0)};
  for (int i = 0; i < 60; ++i) {
    const int het = static_cast<int>(rng() % 3);
    const int a = static_cast<int>(rng() % static_cast<uint64_t>(kMales - het + 1));
    const int ag = 1 + static_cast<int>(rng() % 49);
    const int aa = static_cast<int>(rng() % static_cast<uint64_t>(kFemales - ag + 1));
    for (int coding = 0; coding < 2; ++coding)
      text[coding] += site_line("X", 3000000 + i, "G",
                                x_calls(a, kMales - het - a, het, aa, ag, kFemales - ag - aa,
                                        coding == 1));
  }
  const std::string sexes = dir.write("sex.txt", sex_file(kMales, kFemales, 0));
  std::string psam = "#IID\tSEX\n";
  for (int j = 0; j < kMales; ++j) psam += "M" + std::to_string(j + 1) + "\t1\n";
  for (int j = 0; j < kFemales; ++j) psam += "F" + std::to_string(j + 1) + "\t2\n";
  dir.write("s.psam", psam);
  std::vector<std::vector<Row>> runs;
  for (int coding = 0; coding < 2; ++coding) {
    const std::string vcf = dir.write("x" + std::to_string(coding) + ".vcf", text[coding]);
    const std::string prefix = dir.file("plink" + std::to_string(coding));
    ASSERT_EQ(std::system(("plink2 --vcf " + vcf + " --psam " + dir.file("s.psam") +
                           " --hardy cols=+femalep --vcf-half-call missing --out " + prefix +
                           " >/dev/null 2>&1")
                              .c_str()),
              0);
    const Output o = run_hwmc({"--vcf", "--exact", "--seed", "3", "--sex", sexes, vcf});
    ASSERT_EQ(o.status, 0) << o.err;
    runs.push_back(rows_of(o.out));
    const std::vector<Row>& rows = runs.back();
    std::ifstream hardy(prefix + ".hardy.x");
    std::string line;
    std::getline(hardy, line);
    const std::vector<std::string> head = tsv_cells(line + "\n");
    auto at = [&](const char* name) {
      return static_cast<size_t>(std::find(head.begin(), head.end(), name) - head.begin());
    };
    ASSERT_LT(at("FEMALE_ONLY_P"), head.size()) << line;
    size_t i = 0;
    while (std::getline(hardy, line)) {
      ASSERT_LT(i, rows.size());
      const std::vector<std::string> c = tsv_cells(line + "\n");
      EXPECT_EQ(six_digits(number(rows[i], "p_x_prob")), six_digits(std::strtod(c[at("P")].c_str(), nullptr)))
          << "site " << i;
      EXPECT_EQ(six_digits(number(rows[i], "p_prob")),
                six_digits(std::strtod(c[at("FEMALE_ONLY_P")].c_str(), nullptr)))
          << "site " << i;
      EXPECT_EQ(number(rows[i], "males"),
                std::strtod(c[at("MALE_A1_CT")].c_str(), nullptr) +
                    std::strtod(c[at("MALE_AX_CT")].c_str(), nullptr));
      EXPECT_EQ(cell(rows[i], "p_lead"), cell(rows[i], "p_x_prob"));
      ++i;
    }
    EXPECT_EQ(i, rows.size());
  }
  EXPECT_EQ(without(runs[0], {"file"}), without(runs[1], {"file"}));
  if (!have("bcftools")) return;
  const std::string bcf = dir.file("x1.bcf");
  ASSERT_EQ(std::system(("bcftools view -Ob -o " + bcf + " " + dir.file("x1.vcf")).c_str()), 0);
  const Output o = run_hwmc({"--vcf", "--exact", "--seed", "3", "--sex", sexes, bcf});
  EXPECT_EQ(without(rows_of(o.out), {"file"}), without(runs[1], {"file"}));
}

// Males coded diploid homozygous: without --sex a huge deficit (and a note
// that --sex gives the X tests); with it the X-linked test's p and the
// females' own figures, the male heterozygote counted apart.
TEST(VcfSex, DiploidMalesShowNoFalseDeficit) {
  TempDir dir;
  const std::string vcf = dir.write(
      "d.vcf", header_of(467, 534, 0) +
                   site_line("X", 5000000, "G", x_calls(337, 129, 1, 277, 209, 48, true)));
  const std::string sexes = dir.write("sex.txt", sex_file(467, 534, 0));
  const Output plain = run_hwmc({"--vcf", "--exact", vcf});
  const std::vector<Row> as_autosome = rows_of(plain.out);
  ASSERT_EQ(as_autosome.size(), 1u);
  EXPECT_LT(number(as_autosome[0], "p_prob"), 1e-40);
  EXPECT_EQ(as_autosome[0].count("p_x_prob"), 0u);
  EXPECT_NE(plain.err.find(vcf + ": 1 site on X outside the pseudo-autosomal regions tested as "
                                 "autosomes; --sex FILE gives the X-linked tests"),
            std::string::npos)
      << plain.err;

  const Output o = run_hwmc({"--vcf", "--exact", "--sex", sexes, vcf});
  EXPECT_EQ(o.err, "");
  const std::vector<Row> rows = rows_of(o.out);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(cell(rows[0], "males"), "466");
  EXPECT_EQ(cell(rows[0], "females"), "534");
  EXPECT_EQ(cell(rows[0], "male_het"), "1");
  EXPECT_EQ(cell(rows[0], "n"), "534");
  EXPECT_EQ(six_digits(number(rows[0], "p_x_prob")), "5.80958e-01");
  EXPECT_EQ(six_digits(number(rows[0], "p_x_prob_mid")), "5.79742e-01");
  EXPECT_EQ(six_digits(number(rows[0], "p_prob")), "3.40974e-01");
  EXPECT_NEAR(number(rows[0], "f_is"), 0.041771, 1e-6);  // 0.48 with the males
  EXPECT_EQ(cell(rows[0], "p_lead"), cell(rows[0], "p_x_prob"));
}

// The PAR by build, XY, Y and MT, autosomes, samples of unknown sex and IDs
// of the sex file absent from the data.
TEST(VcfSex, ParYMtAndUnknownSexFollowTheRules) {
  TempDir dir;
  // 4 males (A, A, G, missing), 4 females, 2 samples of unknown sex.
  const std::vector<std::string> calls = {"0",   "0/0", "1",   ".",   "0/0",
                                          "0/1", "1/1", "0/1", "1/1", "1/1"};
  const std::string vcf = dir.write(
      "p.vcf", header_of(4, 4, 2) + site_line("1", 100, "G", calls) +
                   site_line("X", 20000, "G", calls) + site_line("X", 5000, "G", calls) +
                   site_line("XY", 70000, "G", calls) + site_line("Y", 5000, "G", calls) +
                   site_line("MT", 70, "G", calls));
  const std::string sexes =
      dir.write("sex.txt", sex_file(4, 4, 1) + "absent1\tM\n");  // U2 is not named
  auto run = [&](const std::string& par) {
    return run_hwmc({"--vcf", "--exact", "--sex", sexes, "--par", par, vcf});
  };
  const Output b38 = run("b38");
  const std::vector<Row> rows = rows_of(b38.out);
  ASSERT_EQ(rows.size(), 4u) << b38.out;  // Y and MT left out
  std::map<std::string, bool> by_sex;
  for (const Row& r : rows) by_sex[cell(r, "chrom") + ":" + cell(r, "pos")] = cell(r, "males") != "NA";
  EXPECT_EQ(by_sex, (std::map<std::string, bool>{
                        {"1:100", false}, {"X:20000", false}, {"X:5000", true}, {"XY:70000", false}}));
  for (const Row& r : rows) {
    if (cell(r, "males") != "NA") {
      EXPECT_EQ(cell(r, "males"), "3");
      EXPECT_EQ(cell(r, "females"), "4");
      EXPECT_EQ(cell(r, "n"), "4");
      EXPECT_EQ(cell(r, "missing"), "0");
    } else {
      EXPECT_EQ(cell(r, "n"), "7");  // the diploid calls of every sample
      for (const char* c : {"females", "male_het", "p_sex_af", "p_x_prob", "p_x_prob_mid"})
        EXPECT_EQ(cell(r, c), "NA") << c;
      EXPECT_EQ(cell(r, "p_lead"), cell(r, "p_prob"));
    }
  }
  EXPECT_NE(b38.err.find(sexes + ": 1 ID is not a sample of " + vcf + ", left out: absent1"),
            std::string::npos)
      << b38.err;
  EXPECT_NE(b38.err.find(vcf + ": 2 sites on Y or the mitochondria left out"), std::string::npos)
      << b38.err;
  EXPECT_NE(b38.err.find(vcf + ": 2 samples of unknown sex"), std::string::npos) << b38.err;

  // b37's first PAR starts at 60001: X:20000 is X proper there; with none
  // both X sites are.
  const std::vector<Row> b37 = rows_of(run("b37").out);
  ASSERT_EQ(b37.size(), 4u);
  EXPECT_NE(cell(b37[1], "males"), "NA");
  const std::vector<Row> none = rows_of(run("none").out);
  ASSERT_EQ(none.size(), 4u);
  EXPECT_EQ(cell(none[1], "males"), "3");
  EXPECT_EQ(cell(none[2], "males"), "3");
  EXPECT_EQ(cell(none[3], "males"), "NA");  // XY is pseudo-autosomal whatever the build
}

// ln of the probability of one X table under the null, from the formula:
// [prod n_i! / n_t!] [n_m! / prod m_i!] [n_f! 2^H / prod f_ij!].
long double log_table_p(const std::vector<int>& m, const std::vector<std::vector<int>>& f) {
  const size_t k = m.size();
  std::vector<int> n(m);
  int n_m = 0, n_f = 0, het = 0;
  long double lp = 0;
  for (size_t i = 0; i < k; ++i) {
    n_m += m[i];
    lp -= std::lgamma(m[i] + 1.0L);
    for (size_t j = i; j < k; ++j) {
      n_f += f[i][j];
      n[i] += f[i][j];
      n[j] += f[i][j];
      if (i != j) het += f[i][j];
      lp -= std::lgamma(f[i][j] + 1.0L);
    }
  }
  for (int c : n) lp += std::lgamma(c + 1.0L);
  lp += std::lgamma(n_m + 1.0L) + std::lgamma(n_f + 1.0L) + het * std::log(2.0L) -
        std::lgamma(n_m + 2.0L * n_f + 1.0L);
  return lp;
}

// Every female table over k alleles of n_f individuals, by brute force.
void female_tables(size_t k, int left, size_t cell, std::vector<std::vector<int>>& f,
                   std::vector<std::vector<std::vector<int>>>& out) {
  const size_t cells = k * (k + 1) / 2;
  if (cell + 1 == cells) {
    f[k - 1][k - 1] = left;
    out.push_back(f);
    return;
  }
  size_t i = 0, j = 0;
  for (size_t c = 0, ii = 0; ii < k; ++ii)
    for (size_t jj = ii; jj < k; ++jj, ++c)
      if (c == cell) i = ii, j = jj;
  for (int v = 0; v <= left; ++v) {
    f[i][j] = v;
    female_tables(k, left - v, cell + 1, f, out);
  }
  f[i][j] = 0;
}

// A three-allele X site against every table with the sample's allele
// totals, enumerated here from the formula.
TEST(VcfSex, MultiAllelicXRowMatchesABruteForceEnumeration) {
  TempDir dir;
  // Males: 2 A, 1 G, 1 T; females: AA, AG, GT, TT, AT.
  const std::vector<std::string> calls = {"0", "0/0", "1", "2", "0/0", "0/1", "1/2", "2/2", "0/2"};
  const std::string vcf =
      dir.write("m.vcf", header_of(4, 5, 0) + site_line("X", 9000000, "G,T", calls));
  const std::string sexes = dir.write("sex.txt", sex_file(4, 5, 0));
  const std::vector<Row> rows = rows_of(run_hwmc({"--vcf", "--exact", "--sex", sexes, vcf}).out);
  ASSERT_EQ(rows.size(), 1u);

  const std::vector<int> m_obs = {2, 1, 1};
  const std::vector<std::vector<int>> f_obs = {{1, 1, 1}, {0, 0, 1}, {0, 0, 1}};
  std::vector<int> totals(m_obs);
  for (size_t i = 0; i < 3; ++i)
    for (size_t j = i; j < 3; ++j) totals[i] += f_obs[i][j], totals[j] += f_obs[i][j];
  const long double observed = std::exp(log_table_p(m_obs, f_obs));
  std::vector<std::vector<std::vector<int>>> tables;
  std::vector<std::vector<int>> f(3, std::vector<int>(3, 0));
  female_tables(3, 5, 0, f, tables);
  long double p = 0, tied = 0, all = 0;
  // p_sex_af: the males' split alone, hypergeometric given the totals.
  std::map<std::vector<int>, long double> split_p;
  for (int a = 0; a <= 4; ++a) {
    for (int g = 0; a + g <= 4; ++g) {
      const std::vector<int> m = {a, g, 4 - a - g};
      for (const auto& t : tables) {
        std::vector<int> n(m);
        for (size_t i = 0; i < 3; ++i)
          for (size_t j = i; j < 3; ++j) n[i] += t[i][j], n[j] += t[i][j];
        if (n != totals) continue;
        const long double q = std::exp(log_table_p(m, t));
        all += q;
        split_p[m] += q;
        if (q <= observed * (1 + 1e-7L)) p += q;
        if (std::fabs(q - observed) <= observed * 1e-7L) tied += q;
      }
    }
  }
  EXPECT_NEAR(static_cast<double>(all), 1.0, 1e-12);
  long double sex_af = 0;
  const long double split_observed = split_p[m_obs];
  for (const auto& [m, q] : split_p)
    if (q <= split_observed * (1 + 1e-7L)) sex_af += q;
  EXPECT_NEAR(number(rows[0], "p_x_prob"), static_cast<double>(p), 1e-9);
  EXPECT_NEAR(number(rows[0], "p_x_prob_mid"), static_cast<double>(p - tied / 2), 1e-9);
  EXPECT_NEAR(number(rows[0], "p_sex_af"), static_cast<double>(sex_af), 1e-9);
  EXPECT_EQ(cell(rows[0], "k"), "3");
  EXPECT_EQ(cell(rows[0], "males"), "4");
}

// A female-only table drops the alleles no female carries, the X-linked
// test keeps them: a G carried by males alone.
TEST(VcfSex, AnAlleleOfMalesAloneStaysOutOfTheFemalesTable) {
  TempDir dir;
  const std::vector<std::string> calls = {"1", "2", "0", "0/0", "0/2", "2/2", "0/2"};
  const std::string vcf =
      dir.write("a.vcf", header_of(3, 4, 0) + site_line("X", 9000000, "G,T", calls));
  const std::string sexes = dir.write("sex.txt", sex_file(3, 4, 0));
  const std::vector<Row> rows = rows_of(run_hwmc({"--vcf", "--exact", "--sex", sexes, vcf}).out);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(cell(rows[0], "k"), "2");
  EXPECT_EQ(cell(rows[0], "df"), "1");
  EXPECT_NE(cell(rows[0], "p_x_prob"), "NA");
  EXPECT_LE(number(rows[0], "p_x_prob"), 1.0);
}

}  // namespace
