// hwmc --vcf --structure end to end: a simulated cohort of three
// populations (Balding-Nichols at F_ST 0.1, some samples admixed, 5% of
// sites with an inbreeding deficit) written as VCF, tested pooled and
// against the individual frequencies of the fitted components; the columns
// on sites that take no test, --pops, --structure-out, the threads, and
// the refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <boost/math/distributions/chi_squared.hpp>

#include "batch/vcf_run.h"
#include "report/temp_dir.h"
#include "structure_simulation.h"

namespace {

constexpr double kChi2Median = 0.45493642311957283;

// The simulated sites as VCF on contig 1, then `extra` lines as given.
std::string simulated_vcf(const Simulation& sim, const std::string& extra = "") {
  std::string text = "##fileformat=VCFv4.2\n##contig=<ID=1>\n##contig=<ID=X>\n"
                     "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
                     "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
  for (int32_t i = 0; i < sim.samples; ++i) text += "\ts" + std::to_string(i);
  text += '\n';
  static const char* const kGt[] = {"0/0", "0/1", "1/1", "./."};
  for (int32_t j = 0; j < sim.sites; ++j) {
    text += "1\t" + std::to_string(j + 1) + "\tv" + std::to_string(j) + "\tA\tC\t.\t.\t.\tGT";
    const uint8_t* codes = simulated_site(sim, j);
    for (int32_t i = 0; i < sim.samples; ++i) (text += '\t') += kGt[std::min<int>(codes[i], 3)];
    text += '\n';
  }
  return text + extra;
}

// The chi-square(1) statistic a p-value stands for.
double statistic_of(double p) {
  static const boost::math::chi_squared chi2(1);
  return boost::math::quantile(boost::math::complement(chi2, p));
}

double median_over_expected(std::vector<double> x) {
  std::sort(x.begin(), x.end());
  const size_t n = x.size();
  const double median = n % 2 ? x[n / 2] : 0.5 * (x[n / 2 - 1] + x[n / 2]);
  return median / kChi2Median;
}

// Null sites where every population's frequency is within [0.05, 0.95]:
// there the test's statistic follows chi-square(1) (alleles rare for some
// individuals make it conservative elsewhere, as for a test that knows
// the populations).
std::vector<char> common_null_sites(const Simulation& sim) {
  std::vector<char> common(static_cast<size_t>(sim.sites), 0);
  for (int32_t j = 0; j < sim.sites; ++j) {
    if (sim.deviant[static_cast<size_t>(j)]) continue;
    bool ok = true;
    for (int32_t p = 0; p < sim.populations; ++p) {
      const double f = sim.frequency[static_cast<size_t>(j * sim.populations + p)];
      ok = ok && f >= 0.05 && f <= 0.95;
    }
    common[static_cast<size_t>(j)] = ok;
  }
  return common;
}

double cell(const Row& r, const char* column) {
  const auto it = r.find(column);
  EXPECT_NE(it, r.end()) << column;
  return it == r.end() || it->second == "NA" ? NAN : std::strtod(it->second.c_str(), nullptr);
}

struct Cohort {
  Simulation sim;
  TempDir dir;
  std::string vcf;
};

// 600 samples (a fifth admixed) x 10 000 sites, and after them a site on X
// and a site with two ALT alleles, which take no structure test.
const Cohort& cohort() {
  static Cohort* c = [] {
    auto* made = new Cohort;
    SimulationSettings settings;
    settings.samples = 600;
    settings.sites = 10000;
    settings.admixed_share = 0.2;
    settings.missing = 0;
    settings.seed = 7;
    made->sim = simulate_structure(settings);
    std::string extra = "X\t5000000\tx1\tA\tG\t.\t.\t.\tGT";
    std::string tri = "1\t20000\ttri\tA\tC,G\t.\t.\t.\tGT";
    for (int32_t i = 0; i < settings.samples; ++i) {
      extra += i % 2 ? "\t0/1" : "\t0/0";
      tri += i % 3 == 0 ? "\t0/2" : i % 3 == 1 ? "\t0/1" : "\t1/1";
    }
    made->vcf = made->dir.write("cohort.vcf", simulated_vcf(made->sim, extra + "\n" + tri + "\n"));
    return made;
  }();
  return *c;
}

TEST(StructureRun, PooledTestInflatedStructureTestCalibrated) {
  const Cohort& c = cohort();
  const Output o = run_hwmc({"--vcf", "--exact", "--seed", "1", "--structure", "2", c.vcf});
  ASSERT_EQ(o.status, 0) << o.err;
  const std::vector<Row> rows = rows_of(o.out);
  ASSERT_EQ(rows.size(), static_cast<size_t>(c.sim.sites) + 2);
  const std::vector<char> common = common_null_sites(c.sim);
  std::vector<double> pooled, robust;
  int32_t nulls = 0, flagged_pooled = 0, flagged = 0, deviant = 0, found = 0;
  for (int32_t j = 0; j < c.sim.sites; ++j) {
    const Row& r = rows[static_cast<size_t>(j)];
    const double p = cell(r, "p_struct");
    // A site with one allele among the samples has nothing to test.
    if (r.at("k") == "1") continue;
    ASSERT_TRUE(p >= 0 && p <= 1) << j;
    // The structure test leads: q_bh is adjusted over it.
    EXPECT_EQ(r.at("p_lead"), r.at("p_struct"));
    // The one-sided P are the halves of the two-sided one on F's side.
    const double f = cell(r, "f_struct");
    const double one_sided = f > 0 ? cell(r, "p_struct_deficit") : cell(r, "p_struct_excess");
    if (f != 0) {
      EXPECT_NEAR(one_sided, p / 2, 1e-12 + 1e-9 * p) << j;
    }
    if (c.sim.deviant[static_cast<size_t>(j)]) {
      ++deviant;
      found += p < 1e-3;
      continue;
    }
    ++nulls;
    flagged += p < 1e-6;
    flagged_pooled += cell(r, "p_prob") < 1e-6;
    if (!common[static_cast<size_t>(j)]) continue;
    pooled.push_back(statistic_of(cell(r, "p_prob")));
    robust.push_back(statistic_of(p));
  }
  ASSERT_GT(robust.size(), 5000u);
  // Pooled, the Wahlund effect: deficits at null sites, many flagged.
  EXPECT_GT(median_over_expected(pooled), 2.0);
  EXPECT_GT(flagged_pooled, nulls / 50);
  // Against the individual frequencies: calibrated, and about 0.01 null
  // sites expected at 1e-6.
  EXPECT_NEAR(median_over_expected(robust), 1.0, 0.05);
  EXPECT_LE(flagged, 1);
  // The deviant sites (F = 0.1 at 600 samples: a non-centrality of about
  // 6, so about a fifth found at 1e-3 where the allele is common): several
  // times the 1e-3 x 9 500 null sites expected by chance.
  EXPECT_GT(found, deviant / 10);
  // The X site and the site with three alleles: exact tests, no structure test.
  for (size_t i = rows.size() - 2; i < rows.size(); ++i) {
    const Row& r = rows[i];
    EXPECT_NE(r.at("p_prob"), "NA") << r.at("id");
    for (const char* column : {"f_struct", "p_struct", "p_struct_deficit", "p_struct_excess",
                               "p_lead", "q_bh"})
      EXPECT_EQ(r.at(column), "NA") << r.at("id") << " " << column;
  }
}

TEST(StructureRun, AutoChoosesTwoComponentsAndWritesThem) {
  const Cohort& c = cohort();
  const std::string pcs = c.dir.file("pcs.tsv"), page = c.dir.file("auto.html");
  const Output o =
      run_hwmc({"--vcf", "--seed", "5", "--structure", "auto", "--structure-out", pcs,
                "--threads", "2", "--html", page, c.vcf});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.err.find("--structure auto: K = 2 "), std::string::npos) << o.err;
  // The page's header names the K and how it was had.
  EXPECT_NE(read_bytes(page).find("<dt>population structure</dt><dd>" + c.vcf +
                                  ": K = 2, chosen by --structure auto (genomic inflation "),
            std::string::npos);
  // The threads change no figure (the seed is fixed: the exact tests draw).
  const Output one = run_hwmc({"--vcf", "--seed", "5", "--structure", "auto", "--threads", "1", c.vcf});
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_TRUE(o.out == one.out);
  // sample PC1 PC2, a row per sample in the file's order; each component
  // of unit length and the two orthogonal.
  std::istringstream in(read_bytes(pcs));
  std::string line;
  ASSERT_TRUE(std::getline(in, line));
  EXPECT_EQ(line, "sample\tPC1\tPC2");
  double norm1 = 0, norm2 = 0, dot = 0;
  int32_t n = 0;
  while (std::getline(in, line)) {
    const std::vector<std::string> cells = tsv_cells(line + "\n");
    ASSERT_EQ(cells.size(), 3u) << line;
    EXPECT_EQ(cells[0], "s" + std::to_string(n));
    const double a = std::strtod(cells[1].c_str(), nullptr);
    const double b = std::strtod(cells[2].c_str(), nullptr);
    norm1 += a * a;
    norm2 += b * b;
    dot += a * b;
    ++n;
  }
  EXPECT_EQ(n, c.sim.samples);
  EXPECT_NEAR(norm1, 1, 1e-6);
  EXPECT_NEAR(norm2, 1, 1e-6);
  EXPECT_NEAR(dot, 0, 1e-6);
}

TEST(StructureRun, PopsTestEachPopulationOverTheFrequenciesOfAll) {
  const Cohort& c = cohort();
  // Every sample in one population: the rows of the run without --pops.
  std::string one, three;
  for (int32_t i = 0; i < c.sim.samples; ++i) {
    one += "s" + std::to_string(i) + "\tall\n";
    // The admixed samples (population -1) are in none, yet in the model.
    const int32_t p = c.sim.population[static_cast<size_t>(i)];
    if (p >= 0) three += "s" + std::to_string(i) + "\tp" + std::to_string(p) + "\n";
  }
  const std::string one_pops = c.dir.write("one.pops", one);
  const std::string three_pops = c.dir.write("three.pops", three);
  const Output plain = run_hwmc({"--vcf", "--seed", "3", "--structure", "2", c.vcf});
  const Output pooled =
      run_hwmc({"--vcf", "--seed", "3", "--structure", "2", "--pops", one_pops, c.vcf});
  ASSERT_EQ(plain.status, 0) << plain.err;
  ASSERT_EQ(pooled.status, 0) << pooled.err;
  EXPECT_EQ(without(rows_of(plain.out), {"population", "missing"}),
            without(rows_of(pooled.out), {"population", "missing"}));

  const Output apart =
      run_hwmc({"--vcf", "--seed", "3", "--structure", "2", "--pops", three_pops, c.vcf});
  ASSERT_EQ(apart.status, 0) << apart.err;
  const std::vector<Row> rows = rows_of(apart.out);
  ASSERT_EQ(rows.size(), 3 * (static_cast<size_t>(c.sim.sites) + 2));
  // Within each population the samples are in Hardy-Weinberg proportions
  // about frequencies the model gives, so the test stays calibrated; its
  // frequencies come from all samples, so it is not the pooled one.
  std::vector<double> robust;
  const std::vector<char> common = common_null_sites(c.sim);
  const std::vector<Row> whole = rows_of(plain.out);
  int32_t differs = 0;
  for (size_t i = 0; i + 6 < rows.size(); ++i) {
    const size_t site = i / 3;
    EXPECT_EQ(rows[i].at("population"), "p" + std::to_string(i % 3));
    if (!common[site]) continue;
    robust.push_back(statistic_of(cell(rows[i], "p_struct")));
    differs += rows[i].at("p_struct") != whole[site].at("p_struct");
    if (robust.size() > 6000) break;
  }
  EXPECT_NEAR(median_over_expected(robust), 1.0, 0.08);
  EXPECT_GT(differs, 0);
}

// Both passes read a bgzipped file as they read it plain (a line read a
// block at a time once reached htslib's parser empty).
TEST(StructureRun, ABgzippedFileGivesThePlainFilesRows) {
  const Cohort& c = cohort();
  if (std::system("command -v bgzip >/dev/null 2>&1") != 0) GTEST_SKIP() << "bgzip not installed";
  const std::string gz = c.dir.file("cohort.vcf.gz");
  ASSERT_EQ(std::system(("bgzip -c '" + c.vcf + "' > '" + gz + "'").c_str()), 0);
  const Output plain = run_hwmc({"--vcf", "--seed", "4", "--structure", "2", c.vcf});
  const Output packed = run_hwmc({"--vcf", "--seed", "4", "--structure", "2", gz});
  ASSERT_EQ(plain.status, 0) << plain.err;
  ASSERT_EQ(packed.status, 0) << packed.err;
  const std::vector<Row> a = without(rows_of(plain.out), {"file"});
  ASSERT_GT(a.size(), 1000u);
  EXPECT_TRUE(a == without(rows_of(packed.out), {"file"}));
}

TEST(StructureRun, StreamsAreRefused) {
  const Cohort& c = cohort();
  const std::string text = read_bytes(c.vcf);
  {
    FedPipe pipe(text);
    StdinFrom in(pipe.read_fd);
    const Output o = run_hwmc({"--vcf", "--structure", "2", "-"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("hwmc: -: --structure reads each file twice, which a stream cannot be"),
              std::string::npos)
        << o.err;
    EXPECT_EQ(rows_of(o.out).size(), 0u);
  }
  {
    FedPipe pipe(text);
    const Output o = run_hwmc({"--vcf", "--structure", "2", pipe.path()});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("a stream cannot be"), std::string::npos) << o.err;
  }
}

TEST(StructureRun, OutputWithoutTheTestAndOneFileOfComponents) {
  const Cohort& c = cohort();
  const Output o = run_hwmc({"--vcf", "--structure-out", c.dir.file("a.tsv"), c.vcf});
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("--structure-out: needs --structure"), std::string::npos) << o.err;
  // Two files would write over each other's components: the second fails.
  const Output two = run_hwmc(
      {"--vcf", "--structure", "1", "--structure-out", c.dir.file("b.tsv"), c.vcf, c.vcf});
  EXPECT_EQ(two.status, 1);
  EXPECT_NE(two.err.find("--structure-out takes the components of one input file"),
            std::string::npos)
      << two.err;
  EXPECT_EQ(rows_of(two.out).size(), static_cast<size_t>(c.sim.sites) + 2);
}

// X inside the pseudo-autosomal regions of --par is tested as an
// autosome, outside them not at all: a site on X at 2 750 000 (in b38's
// first region, past b37's) with the calls of the cohort's first site.
TEST(StructureRun, XFollowsThePseudoAutosomalRegionsOfPar) {
  const Cohort& c = cohort();
  static const char* const kGt[] = {"0/0", "0/1", "1/1", "./."};
  std::string x = "X\t2750000\tpar\tA\tC\t.\t.\t.\tGT";
  const uint8_t* first = simulated_site(c.sim, 0);
  for (int32_t i = 0; i < c.sim.samples; ++i) (x += '\t') += kGt[std::min<int>(first[i], 3)];
  const std::string vcf = c.dir.write("par.vcf", simulated_vcf(c.sim, x + "\n"));
  for (const char* par : {"b38", "b37", "none"}) {
    const std::string page = c.dir.file(std::string(par) + ".html");
    const Output o = run_hwmc(
        {"--vcf", "--no-exact", "--structure", "2", "--par", par, "--html", page, vcf});
    ASSERT_EQ(o.status, 0) << o.err;
    const std::vector<Row> rows = rows_of(o.out);
    ASSERT_EQ(rows.size(), static_cast<size_t>(c.sim.sites) + 1);
    const Row& last = rows.back();
    ASSERT_EQ(last.at("id"), "par");
    ASSERT_NE(rows[0].at("p_struct"), "NA");
    EXPECT_NE(read_bytes(page).find(vcf + ": K = 2, given by --structure</dd>"),
              std::string::npos);
    if (std::string(par) == "b38") {
      EXPECT_EQ(last.at("p_struct"), rows[0].at("p_struct"));
      EXPECT_EQ(last.at("f_struct"), rows[0].at("f_struct"));
    } else {
      EXPECT_EQ(last.at("p_struct"), "NA") << par;
    }
  }
}

}  // namespace
