// PLINK filesets end to end through the batch front end, against the VCF
// that plink2 exports from the same fileset: the same rows but for `file`
// (whole, by --pops, by phenotype, by region), p_prob against plink2's
// --hardy, the fileset's failures as messages naming file and line, and the
// command line of --bfile.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "batch/vcf_run.h"
#include "plink/plink_test_files.h"
#include "report/temp_dir.h"

namespace {

bool exported(const TempDir& dir, const std::string& name) {
  const std::string prefix = dir.file(name);
  return run_quietly("plink2 --bfile " + prefix + " --export vcf bgz --allow-extra-chr --out " +
                     prefix + "x") &&
         run_quietly("tabix -p vcf " + prefix + "x.vcf.gz");
}

// The autosomes' rows and those of X outside the pseudo-autosomal region:
// the fileset's sexes count the latter by sex, as --sex counts the export's.
// In the pseudo-autosomal parts (XY, and X before it is split) plink2's
// export writes males' calls haploid, which the VCF kind counts as missing
// there, so q_bh is compared over runs without them.
std::vector<Row> autosomal(std::vector<Row> rows, bool whole_run) {
  std::vector<Row> out;
  for (Row& r : rows) {
    const bool par = r["chrom"] == "XY" ||
                     (r["chrom"] == "X" && !sim_x_non_par("X", std::stoll(r["pos"])));
    if (par) continue;
    if (whole_run) r.erase("q_bh");
    out.push_back(std::move(r));
  }
  return out;
}

struct Fileset {
  TempDir dir;
  SimVcf vcf;
  bool ready = false;
  std::string prefix, exported_vcf, exported_sexes;
  explicit Fileset(int samples, uint64_t seed) : vcf(simulate_plink_vcf(samples, seed)) {
    if (!have_tool("plink2") || !have_tool("tabix")) return;
    ready = plink2_fileset(dir, "f", vcf, fam_text(vcf)) && exported(dir, "f");
    prefix = dir.file("f");
    exported_vcf = dir.file("fx.vcf.gz");
    // plink2 exports the samples as FID_IID.
    std::string sexes;
    for (const SimSample& s : vcf.samples) sexes += "F_" + s.iid + "\t" + std::to_string(s.sex) + "\n";
    exported_sexes = dir.write("xsexes.txt", sexes);
  }
};

void expect_same_rows(const std::vector<std::string>& plink_args,
                      const std::vector<std::string>& vcf_args, bool whole_run) {
  const Output p = run_hwmc(plink_args);
  const Output v = run_hwmc(vcf_args);
  ASSERT_EQ(p.status, 0) << p.err;
  ASSERT_EQ(v.status, 0) << v.err;
  const std::vector<Row> pr = autosomal(without(rows_of(p.out), {"file"}), whole_run);
  const std::vector<Row> vr = autosomal(without(rows_of(v.out), {"file"}), whole_run);
  ASSERT_GT(pr.size(), 10u);
  ASSERT_EQ(pr.size(), vr.size());
  for (size_t i = 0; i < pr.size(); ++i) {
    for (const auto& [column, cell] : pr[i]) {
      const auto other = vr[i].find(column);
      ASSERT_NE(other, vr[i].end()) << column;
      EXPECT_EQ(cell, other->second) << "row " << i << ", " << column;
    }
    EXPECT_EQ(pr[i].size(), vr[i].size());
  }
}

TEST(PlinkRows, AsTheExportedVcfsRowsWholeByPopsAndByRegion) {
  // 37 samples: the last .bed byte holds one; 5% missing calls, monomorphic
  // sites with and without an A1, an indel, none called at one site.
  Fileset f(37, 11);
  if (!f.ready) GTEST_SKIP() << "plink2 or tabix not installed";
  const std::vector<std::string> common = {"--exact", "--seed", "7"};
  auto with = [&](std::vector<std::string> a, const std::vector<std::string>& more) {
    a.insert(a.end(), more.begin(), more.end());
    return a;
  };
  expect_same_rows(with({"--bfile", f.prefix}, common),
                   with({"--vcf", f.exported_vcf, "--sex", f.exported_sexes}, common), true);
  // The fileset names its samples by IID; plink2 exports them as FID_IID.
  std::string pops, exported_pops;
  for (size_t j = 0; j < f.vcf.samples.size(); ++j) {
    const std::string population = j % 3 == 0 ? "\tnorth\n" : "\tsouth\n";
    pops += f.vcf.samples[j].iid + population;
    exported_pops += "F_" + f.vcf.samples[j].iid + population;
  }
  const std::vector<std::string> regions =
      with(common, {"--region", "2", "--region", "1:2000-", "--region", "1:1500-2500"});
  expect_same_rows(with({"--bfile=" + f.prefix, "--pops", f.dir.write("pops.txt", pops)}, regions),
                   with({"--vcf", f.exported_vcf, "--sex", f.exported_sexes, "--pops",
                         f.dir.write("xpops.txt", exported_pops)},
                        regions),
                   false);
}

TEST(PlinkRows, ByPhenotypeAsPopsOfControlsAndCases) {
  Fileset f(40, 3);
  if (!f.ready) GTEST_SKIP() << "plink2 or tabix not installed";
  std::string pops;
  for (const SimSample& s : f.vcf.samples)
    if (s.phenotype != 0) pops += s.iid + (s.phenotype == 1 ? "\tcontrol\n" : "\tcase\n");
  const std::string pops_path = f.dir.write("pheno.txt", pops);
  const Output by = run_hwmc({"--bfile", f.prefix, "--by-phenotype", "--seed", "1"});
  const Output named = run_hwmc({"--bfile", f.prefix, "--pops", pops_path, "--seed", "1"});
  ASSERT_EQ(by.status, 0) << by.err;
  const std::vector<Row> a = rows_of(by.out), b = rows_of(named.out);
  ASSERT_EQ(a.size(), b.size());
  std::set<std::string> seen;
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i], b[i]);
    seen.insert(a[i].at("population"));
  }
  EXPECT_EQ(seen, (std::set<std::string>{"control", "case"}));
}

// plink2 --hardy's P on the autosomes, to the digits it prints.
TEST(PlinkRows, ExactPAgreesWithPlink2Hardy) {
  Fileset f(61, 5);
  if (!f.ready) GTEST_SKIP() << "plink2 or tabix not installed";
  ASSERT_TRUE(run_quietly("plink2 --bfile " + f.prefix + " --hardy --allow-extra-chr --out " +
                          f.prefix));
  std::ifstream hardy(f.prefix + ".hardy");
  std::string line;
  std::getline(hardy, line);
  std::map<std::string, std::string> plink_p;  // by ID
  while (std::getline(hardy, line)) {
    std::istringstream in(line);
    std::vector<std::string> cells;
    for (std::string c; in >> c;) cells.push_back(c);
    plink_p[cells[1]] = cells.back();
  }
  const Output o = run_hwmc({"--bfile", f.prefix, "--exact", "--max-tables", "100000000"});
  ASSERT_EQ(o.status, 0) << o.err;
  size_t compared = 0;
  for (const Row& r : rows_of(o.out)) {
    const auto at = plink_p.find(r.at("id"));
    if (at == plink_p.end() || r.at("p_prob") == "NA" || r.at("id") == ".") continue;
    const std::string& printed = at->second;
    const size_t digits = printed.find_first_of("eE") == std::string::npos
                              ? printed.size() - printed.find_first_not_of("0.")
                              : printed.find_first_of("eE") - (printed.find('.') == 1 ? 1 : 0);
    char mine[64];
    std::snprintf(mine, sizeof mine, "%.*g", static_cast<int>(std::max<size_t>(digits, 1)),
                  std::stod(r.at("p_prob")));
    EXPECT_DOUBLE_EQ(std::stod(mine), std::stod(printed)) << r.at("id") << " " << r.at("p_prob");
    ++compared;
  }
  EXPECT_GT(compared, 30u);
}

TEST(PlinkRows, FailuresNameTheFileAndLine) {
  TempDir dir;
  const std::string fam = "F a 0 0 1 1\nF b 0 0 2 2\nF c 0 0 0 -9\n";
  const PlinkPaths good = write_fileset(dir, "good", fam, "1 s1 0 10 A G\n", {{0, 1, 3}});
  write_fileset(dir, "bad", fam, "1 s1 0 10 A G\n1 s2 0 x A G\n", {{0, 2, 3}, {3, 3, 3}});
  const Output o = run_hwmc({"--bfile", dir.file("bad"), "--bfile", dir.file("good")});
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("hwmc: " + dir.file("bad") + ": " + dir.file("bad.bim") + ": line 2: "),
            std::string::npos)
      << o.err;
  // The fileset that failed leaves no rows; the next one is read.
  const std::vector<Row> rows = rows_of(o.out);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].at("file"), dir.file("good"));
  EXPECT_EQ(rows[0].at("ref"), "G");
  EXPECT_EQ(rows[0].at("alt"), "A");
  EXPECT_EQ(rows[0].at("n"), "2");
  EXPECT_EQ(rows[0].at("missing"), "1");
  // --bim in place of the prefix's: the good .bim over the bad fileset.
  const Output swapped = run_hwmc({"--bfile", dir.file("bad"), "--bim", good.bim});
  EXPECT_NE(swapped.err.find("bad.bed"), std::string::npos) << swapped.err;
}

TEST(PlinkCommandLine, PrefixesAreTheInputs) {
  std::vector<std::string> args = {"hwmc", "--bfile", "a", "--bfile=b", "--region", "1"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  CommandLine c = parse_command_line(static_cast<int>(argv.size()), argv.data(), input_syntax());
  ASSERT_EQ(c.kind, CommandKind::kBatch) << c.error;
  EXPECT_EQ(c.options.kind, "bfile");
  ASSERT_EQ(c.operands.size(), 2u);
  EXPECT_STREQ(c.operands[0], "a");
  EXPECT_STREQ(c.operands[1], "b");
  auto error_of = [](std::vector<std::string> a) {
    a.insert(a.begin(), "hwmc");
    std::vector<char*> v;
    for (std::string& s : a) v.push_back(s.data());
    return parse_command_line(static_cast<int>(v.size()), v.data(), input_syntax()).error;
  };
  EXPECT_EQ(error_of({"--bfile"}), "option '--bfile' needs a file name");
  EXPECT_EQ(error_of({"--bfile="}), "option '--bfile' needs a file name");
  EXPECT_EQ(error_of({"--bfile", "a", "b.vcf"}),
            "'b.vcf' is not an input here: name each one with its option");
  EXPECT_EQ(error_of({"--vcf", "--bfile", "a"}), "options '--vcf' and '--bfile' exclude each other");
  EXPECT_EQ(error_of({"--by-phenotype", "x"}), "option '--by-phenotype' needs --bfile");
  EXPECT_EQ(error_of({"--bfile", "a", "--report", "r"}),
            "option '--report' is not available with '--bfile'");
}

}  // namespace

namespace {

// --structure on a fileset: pass one's codes come from the packed .bed,
// so the rows and the components equal those of the exported VCF's run
// (the PCs but for the samples' names) over the autosomes: the export
// writes males' calls haploid in the pseudo-autosomal parts, which the VCF
// kind reads as missing there.
TEST(PlinkRows, StructureAsTheExportedVcfs) {
  Fileset f(37, 11);
  if (!f.ready) GTEST_SKIP() << "plink2 or tabix not installed";
  const std::string pcs = f.dir.file("pcs.tsv"), exported_pcs = f.dir.file("xpcs.tsv");
  const std::vector<std::string> common = {"--exact",     "--seed", "7",        "--structure",
                                           "2",           "--region", "1", "--region", "2"};
  std::vector<std::string> plink = {"--bfile", f.prefix, "--structure-out", pcs};
  std::vector<std::string> vcf = {"--vcf", f.exported_vcf, "--sex", f.exported_sexes,
                                  "--structure-out", exported_pcs};
  plink.insert(plink.end(), common.begin(), common.end());
  vcf.insert(vcf.end(), common.begin(), common.end());
  expect_same_rows(plink, vcf, true);
  const Output p = run_hwmc(plink);
  ASSERT_EQ(p.status, 0) << p.err;
  size_t tested = 0;
  for (const Row& r : rows_of(p.out)) tested += r.at("p_struct") != "NA";
  EXPECT_GT(tested, 20u);
  std::istringstream a(read_bytes(pcs)), b(read_bytes(exported_pcs));
  std::string line, other;
  size_t lines = 0;
  while (std::getline(a, line)) {
    ASSERT_TRUE(std::getline(b, other));
    if (lines > 0) {
      ASSERT_EQ(other.rfind("F_", 0), 0u) << other;
      other.erase(0, 2);
    }
    EXPECT_EQ(line, other);
    ++lines;
  }
  EXPECT_FALSE(std::getline(b, other));
  EXPECT_EQ(lines, f.vcf.samples.size() + 1);
}

}  // namespace
