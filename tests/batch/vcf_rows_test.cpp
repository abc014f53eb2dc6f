// hwmc --vcf end to end through the batch front end: the rows of small VCF,
// bgzipped VCF and BCF files against the test's own reading and its own
// SNP exact test, regions against the whole file, threads, failures, --pops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "batch/tsv_cells.h"
#include "batch/vcf_run.h"
#include "exact/exact_tests.h"
#include "report/temp_dir.h"
#include "vcf/simulated_vcf.h"
#include "vcf/vcf_test_files.h"

namespace {

double number(const Row& r, const std::string& column) {
  const auto it = r.find(column);
  EXPECT_NE(it, r.end()) << column;
  return it == r.end() ? NAN : std::strtod(it->second.c_str(), nullptr);
}

// The SNP exact test written independently of src/exact: the heterozygote
// recursion over the tables with the sample's allele counts, p the mass of
// the tables no more probable than the sample (ties within 1e-7 relative).
double snp_exact_p(int64_t hom1, int64_t het, int64_t hom2) {
  const int64_t n = hom1 + het + hom2;
  const int64_t rare = std::min(2 * hom1 + het, 2 * hom2 + het);
  const int64_t common = 2 * n - rare;
  std::vector<long double> prob(static_cast<size_t>(rare + 1), 0.0L);
  int64_t mid = rare * common / (2 * n);
  if ((rare & 1) != (mid & 1)) ++mid;
  prob[static_cast<size_t>(mid)] = 1.0L;
  long double sum = 1.0L;
  for (int64_t h = mid; h > 1; h -= 2) {
    const int64_t hr = (rare - h) / 2, hc = (common - h) / 2;
    prob[static_cast<size_t>(h - 2)] =
        prob[static_cast<size_t>(h)] * h * (h - 1) / (4.0L * (hr + 1) * (hc + 1));
    sum += prob[static_cast<size_t>(h - 2)];
  }
  for (int64_t h = mid; h + 2 <= rare; h += 2) {
    const int64_t hr = (rare - h) / 2, hc = (common - h) / 2;
    prob[static_cast<size_t>(h + 2)] =
        prob[static_cast<size_t>(h)] * 4.0L * hr * hc / ((h + 2.0L) * (h + 1.0L));
    sum += prob[static_cast<size_t>(h + 2)];
  }
  const long double observed = prob[static_cast<size_t>(het)];
  long double p = 0;
  for (long double q : prob) {
    if (q > 0 && q <= observed * (1 + 1e-7L)) p += q;
  }
  return static_cast<double>(p / sum);
}

std::string header_of(int samples) {
  std::string h = "##fileformat=VCFv4.2\n##contig=<ID=1,length=100000000>\n"
                  "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
                  "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
  for (int j = 0; j < samples; ++j) h += "\tS" + std::to_string(j + 1);
  return h + "\n";
}

// A biallelic site of the given genotype counts, missing calls after them.
std::string snp_line(int64_t pos, int hom1, int het, int hom2, int missing) {
  std::string line = "1\t" + std::to_string(pos) + "\t.\tA\tG\t.\t.\t.\tGT";
  for (int i = 0; i < hom1; ++i) line += "\t0/0";
  for (int i = 0; i < het; ++i) line += (i % 2 ? "\t1|0" : "\t0/1");
  for (int i = 0; i < hom2; ++i) line += "\t1/1";
  for (int i = 0; i < missing; ++i) line += (i % 2 ? "\t./." : "\t0/.");
  return line + "\n";
}

TEST(VcfRows, HandComputedSnpCasesAndNaRows) {
  TempDir dir;
  // Three individuals with three copies of each allele: one heterozygote has
  // P = 0.6, three have P = 0.4; p_prob 1 and 0.4. Then k = 1 and no GT.
  const std::string text = header_of(4) + snp_line(100, 1, 1, 1, 1) + snp_line(200, 0, 3, 0, 1) +
                           snp_line(300, 4, 0, 0, 0) +
                           "1\t400\trs4\tA\tC,T\t.\t.\t.\tDP\t3\t4\t5\t6\n";
  const std::string path = dir.write("hand.vcf", text);
  const Output o = run_hwmc({"--vcf", "--exact", "--seed", "3", path});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out.substr(0, 94),
            "file\tchrom\tpos\tid\tref\talt\tpopulation\tk\tn\tmissing\tn_hom_ref\tn_het\t"
            "n_hom_alt\tgenotype_counts\tx2\t");
  const std::vector<Row> rows = rows_of(o.out);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].at("population"), "all");
  EXPECT_EQ(rows[0].at("n"), "3");
  EXPECT_EQ(rows[0].at("missing"), "1");
  EXPECT_NEAR(number(rows[0], "p_prob"), 1.0, 1e-12);
  EXPECT_NEAR(number(rows[1], "p_prob"), 0.4, 1e-12);
  EXPECT_EQ(rows[1].at("exact_method"), "enumeration");
  EXPECT_EQ(rows[2].at("k"), "1");
  EXPECT_EQ(rows[2].at("p_prob"), "NA");
  EXPECT_EQ(rows[2].at("q_bh"), "NA");
  EXPECT_EQ(rows[3].at("alt"), "C,T");
  EXPECT_EQ(rows[3].at("x2"), "NA");
  EXPECT_EQ(rows[3].at("missing"), "4");
  // q_bh of two p-values 1 and 0.4: 0.8 and 1.
  EXPECT_NEAR(number(rows[1], "q_bh"), 0.8, 1e-12);
}

TEST(VcfRows, SnpExactTestAgreesWithAnIndependentRecursionAtEverySize) {
  TempDir dir;
  std::string text = header_of(2000);
  struct Case {
    int hom1, het, hom2, missing;
  };
  std::vector<Case> cases = {{1990, 0, 10, 0},  {1000, 0, 1000, 0}, {500, 1000, 500, 0},
                             {1, 1998, 1, 0},   {1600, 350, 30, 20}, {1998, 2, 0, 0},
                             {0, 2000, 0, 0},   {900, 900, 200, 0},  {1800, 150, 40, 10}};
  for (int i = 0; i < 40; ++i) cases.push_back({1000 - 20 * i, 10 * i + 5, 995 + 10 * i, 0});
  for (size_t i = 0; i < cases.size(); ++i)
    text += snp_line(static_cast<int64_t>(1000 + i), cases[i].hom1, cases[i].het, cases[i].hom2,
                     cases[i].missing);
  const std::string path = dir.write("snps.vcf", text);
  const std::vector<Row> rows = rows_of(run_hwmc({"--vcf", "--exact", path}).out);
  ASSERT_EQ(rows.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const double want = snp_exact_p(c.hom1, c.het, c.hom2);
    const double got = number(rows[i], "p_prob");
    // Six significant digits even where p is tiny.
    EXPECT_LE(std::fabs(got - want), 5e-7 * want) << i << ": " << got << " vs " << want;
    EXPECT_EQ(number(rows[i], "n"), c.hom1 + c.het + c.hom2);
  }
}

// Each site's draws are its own: the same counts at another position, or
// the same record again, draw other tables; the permutation test too.
TEST(VcfRows, IdenticalCountsAtOtherSitesDrawFromOtherStreams) {
  TempDir dir;
  const std::string line = snp_line(6, 30, 40, 30, 0);
  const std::string path =
      dir.write("same.vcf", header_of(100) + snp_line(5, 30, 40, 30, 0) + line + line);
  const std::vector<Row> rows = rows_of(
      run_hwmc({"--vcf", "--exact", "--max-tables", "0", "--tables", "5000", "--runs", "5000",
                "--seed", "2", path})
          .out);
  ASSERT_EQ(rows.size(), 3u);
  for (const char* column : {"p_prob", "mc_p_x2"}) {
    EXPECT_NE(rows[0].at(column), rows[1].at(column)) << column;
    EXPECT_NE(rows[1].at(column), rows[2].at(column)) << column;
  }
  EXPECT_EQ(rows[2].at("seed"), "2");
}

TEST(VcfRows, VcfGzAndBcfGiveIdenticalRowsAndThreadsChangeNoFigure) {
  TempDir dir;
  const SimulatedVcf v = simulate_vcf(60, 90, 11);
  const VcfTriple t = make_vcf_triple(dir, "sim", v.text);
  // Sampled tables where there are many: the streams are in play.
  const std::vector<std::string> opts = {"--vcf", "--exact", "--max-tables", "200",
                                         "--tables", "3000", "--seed", "17"};
  auto run = [&](const std::string& file, const std::string& threads) {
    std::vector<std::string> a = opts;
    a.insert(a.end(), {"--threads", threads, file});
    const Output o = run_hwmc(a);
    EXPECT_EQ(o.status, 0) << o.err;
    return without(rows_of(o.out), {"file"});
  };
  const std::vector<Row> vcf = run(t.vcf, "1");
  ASSERT_GT(vcf.size(), 80u);
  bool sampled = false;
  for (const Row& r : vcf) sampled = sampled || r.at("exact_method") == "sampling";
  EXPECT_TRUE(sampled);
  EXPECT_EQ(run(t.gz, "1"), vcf);
  EXPECT_EQ(run(t.bcf, "1"), vcf);
  EXPECT_EQ(run(t.gz, "2"), vcf);
  EXPECT_EQ(run(t.bcf, "3"), vcf);
}

TEST(VcfRows, ARegionGivesItsSitesTheFiguresOfTheWholeFile) {
  TempDir dir;
  const SimulatedVcf v = simulate_vcf(50, 80, 5, 100);
  const VcfTriple t = make_vcf_triple(dir, "sim", v.text);
  const std::vector<std::string> opts = {"--vcf", "--exact", "--runs", "200", "--max-tables", "50",
                                         "--seed", "9"};
  auto run = [&](const std::string& file, std::vector<std::string> regions) {
    std::vector<std::string> a = opts;
    for (const std::string& r : regions) a.insert(a.end(), {"--region", r});
    a.push_back(file);
    const Output o = run_hwmc(a);
    EXPECT_EQ(o.status, 0) << o.err;
    return without(rows_of(o.out), {"q_bh"});
  };
  for (const std::string& file : {t.gz, t.bcf}) {
    const std::vector<Row> whole = run(file, {});
    std::vector<Row> expected;
    for (const Row& r : whole) {
      const int64_t pos = std::stoll(r.at("pos"));
      if ((r.at("chrom") == "chr1" && pos >= 1500 && pos <= 3000) || r.at("chrom") == "chr2")
        expected.push_back(r);
    }
    ASSERT_GT(expected.size(), 40u);
    EXPECT_EQ(run(file, {"chr1:1500-3000", "chr2"}), expected) << file;
    // The seed column shows the run's seed wherever a sample drew from it.
    for (const Row& r : expected) EXPECT_TRUE(r.at("seed") == "9" || r.at("seed").empty());
  }
  // Without an index, a region is an error, not a full read.
  const Output o = run_hwmc({"--vcf", "--region", "chr1", t.vcf});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(rows_of(o.out).size(), 0u);
  EXPECT_NE(o.err.find("hwmc: " + t.vcf + ": "), std::string::npos) << o.err;
}

TEST(VcfRows, MultiAllelicSitesMatchTheEnumeration) {
  TempDir dir;
  const SimulatedVcf v = simulate_vcf(40, 60, 23);
  const std::string path = dir.write("sim.vcf", v.text);
  const std::vector<Row> rows = rows_of(run_hwmc({"--vcf", "--exact", path}).out);
  ASSERT_EQ(rows.size(), v.sites.size());
  int multi = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    const SimulatedSite& s = v.sites[i];
    if (!s.has_gt) continue;
    // The test's own reading: diploid calls with both alleles known.
    std::map<std::pair<int, int>, int64_t> genotypes;
    std::map<int, int> present;
    for (const std::string& g : s.gt) {
      const size_t cut = g.find_first_of("/|");
      if (cut == std::string::npos || g.find_first_of("/|", cut + 1) != std::string::npos) continue;
      if (g[0] == '.' || g[cut + 1] == '.') continue;
      int a = std::stoi(g.substr(0, cut)), b = std::stoi(g.substr(cut + 1));
      if (a > b) std::swap(a, b);
      ++genotypes[{a, b}];
      present[a] = present[b] = 0;
    }
    int index = 0;
    for (auto& [allele, at] : present) at = index++;
    const int k = static_cast<int>(present.size());
    ASSERT_EQ(rows[i].at("k"), std::to_string(k)) << i;
    if (k < 3) continue;
    ExactSample sample;
    sample.k = k;
    sample.counts.assign(static_cast<size_t>(k * (k + 1) / 2), 0);
    for (const auto& [g, count] : genotypes) {
      const int a = present[g.first], b = present[g.second];
      sample.counts[static_cast<size_t>(a * k + b - a * (a + 1) / 2)] = count;
    }
    ExactOptions options;
    options.max_tables = UINT64_MAX;
    ExactResult result;
    ASSERT_EQ(run_exact_tests(sample, options, result), ExactStatus::kOk);
    ASSERT_EQ(rows[i].at("exact_method"), "enumeration");
    EXPECT_NEAR(number(rows[i], "p_prob"), result.test[ExactTest::kProb].p, 1e-12) << i;
    EXPECT_NEAR(number(rows[i], "p_excess"), result.test[ExactTest::kExcess].p, 1e-12) << i;
    ++multi;
  }
  EXPECT_GT(multi, 5);
}

TEST(VcfRows, AMalformedFileGivesNoRowsAndTheOthersGoOn) {
  TempDir dir;
  const std::string good = dir.write("good.vcf", header_of(3) + snp_line(5, 1, 1, 1, 0));
  const std::string bad =
      dir.write("bad.vcf", header_of(3) + snp_line(5, 1, 1, 1, 0) +
                               "1\t9\t.\tA\tG\t.\t.\t.\tGT\t0/1\t0/x\t1/1\n" + snp_line(12, 1, 1, 1, 0));
  const Output o = run_hwmc({"--vcf", good, bad, good});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(rows_of(o.out).size(), 2u);
  EXPECT_EQ(o.err.rfind("hwmc: " + bad + ": line 6: ", 0), 0u) << o.err;
  EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1);
}

TEST(VcfRows, PopulationsFromPopsInTheirOrderWithOneWarningForUnknownIds) {
  TempDir dir;
  const std::string a = dir.write("a.vcf", header_of(4) + snp_line(5, 1, 2, 1, 0));
  const std::string pops = dir.write("pops.txt", "S4 north\nS1\tsouth\nS9 south\nS2 north\n");
  const Output o = run_hwmc({"--vcf", "--pops", pops, a, a});
  EXPECT_EQ(o.status, 0);
  const std::vector<Row> rows = rows_of(o.out);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].at("population"), "north");  // S2 0/1, S4 1/1
  EXPECT_EQ(rows[0].at("n"), "2");
  EXPECT_EQ(rows[1].at("population"), "south");  // S1 0/0
  EXPECT_EQ(rows[1].at("k"), "1");
  EXPECT_EQ(o.err, "hwmc: " + pops + ": 1 ID is not a sample of " + a + ", left out: S9\n");

  const std::string twice = dir.write("twice.txt", "S1 x\nS2 y\nS1 y\n");
  const Output d = run_hwmc({"--vcf", "--pops", twice, a});
  EXPECT_EQ(d.status, 1);
  EXPECT_EQ(d.out, "");
  EXPECT_EQ(d.err.rfind("hwmc: " + twice + ": line 3: ", 0), 0u) << d.err;
}

TEST(VcfRows, ThePermutationTestSaysWhenItIsNotUniform) {
  TempDir dir;
  const int samples = 16385;  // 32 770 copies
  const std::string path =
      dir.write("big.vcf", header_of(samples) + snp_line(5, 8000, 8000, 385, 0) +
                               snp_line(6, 8000, 8000, 385, 0));
  const Output o = run_hwmc({"--vcf", "--runs", "20", "--seed", "1", path});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "hwmc: " + path +
                       ": more than 32768 allele copies: the permutation test's replicates are "
                       "not uniform permutations (the generator gives 15 bits), so its p values "
                       "are approximate; --exact is exact at any size\n");
}

// A site of 128 alleles: each sample i/i or i/i+1 (mod 128), `samples` of
// the header's in all (a multiple of 256, or missing calls after them).
std::string line_of_128_alleles(int64_t pos, int samples) {
  std::string line = "1\t" + std::to_string(pos) + "\t.\tA\t";
  for (int a = 1; a < 128; ++a) line += (a > 1 ? "," : "") + std::string("A") + std::to_string(a);
  line += "\t.\t.\t.\tGT";
  for (int j = 0; j < samples; ++j) {
    const int i = (j / 2) % 128;
    line += "\t" + std::to_string(i) + "/" + std::to_string(j % 2 ? (i + 1) % 128 : i);
  }
  return line + "\n";
}

TEST(VcfRows, WithoutUniformPermutationsTheAsymptoticPLeads) {
  TempDir dir;
  const int samples = 16385;  // 32 770 copies at the first site
  const std::string path =
      dir.write("big.vcf", header_of(samples) + snp_line(5, 8000, 8000, 385, 0) +
                               line_of_128_alleles(6, samples));
  const Output o = run_hwmc({"--vcf", "--runs", "20", "--no-exact", "--seed", "1", path});
  ASSERT_EQ(o.status, 0) << o.err;
  const std::vector<Row> rows = rows_of(o.out);
  ASSERT_EQ(rows.size(), 2u);
  // The permutation test ran at the first site but does not lead there; the
  // second has more classes than it takes.
  EXPECT_NE(rows[0].at("mc_p_x2"), "NA");
  EXPECT_EQ(rows[1].at("k"), "128");
  EXPECT_EQ(rows[1].at("mc_p_x2"), "NA");
  for (const Row& row : rows) {
    EXPECT_NE(row.at("p_x2"), "NA");
    EXPECT_EQ(row.at("p_lead"), row.at("p_x2"));
    EXPECT_NE(row.at("q_bh"), "NA");
  }
}

// plink2 prints the SNP exact test to six significant digits: hwmc's p_prob
// must round to the same.
TEST(VcfRows, AgreesWithPlink2Hardy) {
  if (std::system("command -v plink2 >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "plink2 is not installed: the comparison with plink2 --hardy is skipped";
  TempDir dir;
  std::string text = header_of(300);
  std::mt19937_64 rng(4);
  for (int i = 0; i < 200; ++i) {
    const int missing = static_cast<int>(rng() % 5);
    const int het = static_cast<int>(rng() % 120);
    const int hom1 = static_cast<int>(rng() % static_cast<uint64_t>(300 - missing - het + 1));
    text += snp_line(1000 + i, hom1, het, 300 - missing - het - hom1, missing);
  }
  const std::string path = dir.write("p.vcf", text);
  const std::string prefix = dir.file("plink");
  ASSERT_EQ(std::system(("plink2 --vcf " + path + " --hardy --vcf-half-call missing --out " +
                         prefix + " >/dev/null 2>&1")
                            .c_str()),
            0);
  std::ifstream hardy(prefix + ".hardy");
  std::string line;
  std::getline(hardy, line);
  const std::vector<std::string> head = tsv_cells(line + "\n");
  const size_t p_at = static_cast<size_t>(std::find(head.begin(), head.end(), "P") - head.begin());
  ASSERT_LT(p_at, head.size()) << line;
  const std::vector<Row> rows = rows_of(run_hwmc({"--vcf", "--exact", path}).out);
  size_t i = 0;
  while (std::getline(hardy, line)) {
    ASSERT_LT(i, rows.size());
    const double theirs = std::strtod(tsv_cells(line + "\n")[p_at].c_str(), nullptr);
    char ours[32];
    std::snprintf(ours, sizeof ours, "%.5e", number(rows[i], "p_prob"));
    char printed[32];
    std::snprintf(printed, sizeof printed, "%.5e", theirs);
    EXPECT_STREQ(ours, printed) << "site " << i;
    ++i;
  }
  EXPECT_EQ(i, rows.size());
}

}  // namespace

// Neighbouring sites are linked: the summary of a VCF run has a row per
// population and per file, with F_IS and the heterozygosities as the ratio
// of sums and the means of the sites' figures, and no Fisher combination.
TEST(VcfRows, TheSummaryHasPopulationAndFileRowsWithoutFisher) {
  TempDir dir;
  const std::string a = dir.write(
      "a.vcf", header_of(8) + snp_line(5, 2, 0, 2, 4) + snp_line(9, 1, 2, 1, 4));
  const std::string pops = dir.write("pops.txt", "S1 north\nS2 north\nS3 north\nS4 north\n"
                                                 "S5 south\nS6 south\nS7 south\nS8 south\n");
  const std::string summary = dir.file("sum.tsv");
  const Output o = run_hwmc({"--vcf", "--seed", "1", "--pops", pops, "--summary", summary, a});
  ASSERT_EQ(o.status, 0) << o.err;
  const std::vector<Row> rows = rows_of(read_bytes(summary));
  const auto row = [&](const std::string& scope, const std::string& name) {
    for (const Row& r : rows) {
      if (r.at("scope") == scope && r.at("name") == name) return r;
    }
    ADD_FAILURE() << "no " << scope << " row " << name;
    return Row{};
  };
  for (const Row& r : rows) {
    EXPECT_NE(r.at("scope"), "locus");
    for (const char* c : {"p_fisher", "fisher_x2", "fisher_df", "q_bh"}) EXPECT_EQ(r.at(c), "NA");
  }
  // north (S1-S4; S5-S8 are missing everywhere): site 5 has Ho 0 and
  // he = (2n He_b - Ho) / (2(n - 1)) = 4/6, site 9 Ho 1/2 and he 3.5/6;
  // F_IS = 1 - (0 + 1/2) / (4/6 + 3.5/6) = 3/5.
  const Row north = row("population", "north");
  EXPECT_DOUBLE_EQ(number(north, "f_is"), 0.6);
  EXPECT_DOUBLE_EQ(number(north, "h_obs"), 0.25);
  EXPECT_DOUBLE_EQ(number(north, "he"), 0.625);
  EXPECT_EQ(row("file", "").at("f_is"), north.at("f_is"));
}

namespace {

// One sampled site, its row pinned as an unchanged build wrote it: the
// sampled exact tests and the permutations draw from the site's key
// (site_key.h) under the run's seed, so a change to the key, to how it
// seeds the streams or to the streams themselves shows here.
TEST(VcfRows, ASampledSitesRowIsPinned) {
  TempDir dir;
  std::string text =
      "##fileformat=VCFv4.2\n"
      "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
      "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
  for (int i = 1; i <= 24; ++i) text += "\tS" + std::to_string(i);
  text += "\nchr7\t117559590\trs113993960\tA\tG\t.\tPASS\t.\tGT";
  for (int i = 0; i < 24; ++i) text += i < 10 ? "\t0/0" : i < 14 ? "\t0/1" : "\t1/1";
  text += "\n";
  const std::string path = dir.write("golden.vcf", text);
  const Output o =
      run_hwmc({"--vcf", "--exact", "--max-tables", "0", "--runs", "200", "--seed", "11", path});
  ASSERT_EQ(o.status, 0) << o.err;
  const std::string row = o.out.substr(o.out.find('\n') + 1);
  EXPECT_EQ(row,
            path +
                "\tchr7\t117559590\trs113993960\tA\tG\tall\t2\t24\t0\t10\t4\t10\t"
                "0/0:10,0/1:4,1/1:10\t10.666667\t1\t3.841\t"
                "0.0010908349886529314\t0.16666666666666666\t0.5\t0.5181159420289855\t"
                "0.6783216783216783\t-0.6666667\t10.666667302449554\t11\t200\t0.005\t"
                "0.00012658102786701825\t0.02754189845720562\t0\t0\t0.01827534035513624\t0.005\t"
                "0.00012658102786701825\t0.02754189845720562\tsampling\t15717\t"
                "0.0012725074759814214\t0.0007774484427387953\t0.001887298296926931\tNA\t"
                "0.003054017942355411\t0.0022526241940301946\t0.004047169103149982\t"
                "0.003054017942355411\t0.0022526241940301946\t0.004047169103149982\t"
                "0.0011452567283832794\t0.0006788885067036438\t0.0018093977608755402\t1\t"
                "0.9997653212072092\t1\t16\t0.0011452567283832794\t0.0006788885067036438\t"
                "0.0018093977608755402\t1\t0.9997653212072092\t1\t-2.8953396575036274\t"
                "0.0012725074759814214\t0.0012725074759814214\n");
}

}  // namespace
