// The reader on filesets plink2 writes from a VCF, against the test's own
// counting of the VCF's calls; its sites and keys against the VCF reader on
// plink2's VCF export of the same fileset; regions against the whole file.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "plink/plink_test_files.h"

namespace {

struct Expected {
  std::vector<FlatUnit> units;
  std::vector<SexSplit> sex;
};

// The units the fileset should give, from the genotype text alone.
Expected expected_units(const SimVcf& v, const std::vector<std::string>& names,
                        const std::vector<int>& pop_of_sample, bool by_sex) {
  Expected out;
  for (const SimSite& s : v.sites) {
    const bool x = by_sex && sim_x_non_par(s.chrom, s.pos);
    for (size_t p = 0; p < names.size(); ++p) {
      FlatUnit u;
      u.chrom = s.chrom;
      u.pos = s.pos;
      u.id = s.id;
      u.ref = s.ref;
      u.alt = s.alt;
      u.population = names[p];
      u.has_gt = true;
      SexSplit split;
      int table[4] = {0, 0, 0, 0};  // by code
      int members = 0;
      for (size_t j = 0; j < s.gt.size(); ++j) {
        if (pop_of_sample[j] != static_cast<int>(p)) continue;
        const int code = bed_code_of(s.gt[j]);
        const int sex = v.samples[j].sex;
        if (x) {
          if (sex == 0) ++split.unknown;
          if (sex == 1) ++split.male.code[code];
          if (sex == 2) ++split.female.code[code];
          if (sex != 2) continue;
        }
        ++members;
        ++table[code];
      }
      // 0/0, 0/1, 1/1 over REF and ALT, kept for the alleles present.
      const int genotype[3] = {table[kBedHomA2], table[kBedHet], table[kBedHomA1]};
      const bool has[2] = {genotype[0] + genotype[1] > 0, genotype[1] + genotype[2] > 0};
      for (int a = 0; a < 2; ++a)
        if (has[a]) u.alleles.push_back(a);
      u.k = static_cast<int32_t>(u.alleles.size());
      if (u.k == 2) u.counts = {genotype[0], genotype[1], genotype[2]};
      if (u.k == 1) u.counts = {has[0] ? genotype[0] : genotype[2]};
      u.n = genotype[0] + genotype[1] + genotype[2];
      u.missing = members - u.n;
      out.units.push_back(u);
      out.sex.push_back(split);
    }
  }
  return out;
}

void expect_units(const std::vector<FlatUnit>& got, const std::vector<FlatUnit>& want,
                  bool keys = false) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE(want[i].chrom + ":" + std::to_string(want[i].pos) + " " + want[i].population);
    EXPECT_EQ(got[i].chrom, want[i].chrom);
    EXPECT_EQ(got[i].pos, want[i].pos);
    EXPECT_EQ(got[i].id, want[i].id);
    EXPECT_EQ(got[i].ref, want[i].ref);
    EXPECT_EQ(got[i].alt, want[i].alt);
    EXPECT_EQ(got[i].population, want[i].population);
    EXPECT_EQ(got[i].n, want[i].n);
    EXPECT_EQ(got[i].missing, want[i].missing);
    EXPECT_EQ(got[i].k, want[i].k);
    EXPECT_EQ(got[i].alleles, want[i].alleles);
    EXPECT_EQ(got[i].counts, want[i].counts);
    if (keys) {
      EXPECT_EQ(got[i].key, want[i].key);
    }
  }
}

void expect_same_codes(const CodeCounts& got, const CodeCounts& want, const char* what) {
  for (int c = 0; c < 4; ++c) EXPECT_EQ(got.code[c], want.code[c]) << what << " code " << c;
}

#define SKIP_WITHOUT(tool)                                                           \
  if (!have_tool(tool)) {                                                            \
    GTEST_SKIP() << tool " is not installed: the filesets it writes are not tested"; \
  }

// Odd and even sample counts (the last byte partly used or not), every kind
// of population, the sex rule on and off, blocks of every size.
TEST(PlinkReader, CountsWhatTheVcfHolds) {
  SKIP_WITHOUT("plink2")
  for (int samples : {37, 130}) {
    SCOPED_TRACE(std::to_string(samples) + " samples");
    TempDir dir;
    const SimVcf v = simulate_plink_vcf(samples, 11 + static_cast<uint64_t>(samples));
    ASSERT_TRUE(plink2_fileset(dir, "sim", v, fam_text(v)));
    const PlinkPaths paths = plink_fileset(dir.file("sim"));

    // Three populations from --pops, some samples in none, one ID unknown.
    std::vector<PopsEntry> entries;
    std::vector<int> of_sample(v.samples.size(), -1);
    for (size_t j = 0; j < v.samples.size(); ++j) {
      if (j % 5 == 2) continue;
      const int p = static_cast<int>(j % 3);
      entries.push_back({v.samples[j].iid, "p" + std::to_string(p)});
      of_sample[j] = p;
    }
    entries.push_back({"nobody", "p1"});
    std::vector<int> by_phenotype(v.samples.size(), -1), everyone(v.samples.size(), 0);
    for (size_t j = 0; j < v.samples.size(); ++j)
      if (v.samples[j].phenotype) by_phenotype[j] = v.samples[j].phenotype - 1;

    struct Case {
      const char* what;
      PlinkReadOptions options;
      std::vector<std::string> names;
      std::vector<int> of_sample;
    };
    std::vector<Case> cases(3);
    cases[0] = {"all", {}, {"all"}, everyone};
    cases[1] = {"--pops", {}, {"p0", "p1", "p2"}, of_sample};
    cases[1].options.pops = &entries;
    cases[2] = {"by phenotype", {}, {"control", "case"}, by_phenotype};
    cases[2].options.by_phenotype = true;

    for (const Case& c : cases) {
      for (bool by_sex : {false, true}) {
        const Expected want = expected_units(v, c.names, c.of_sample, by_sex);
        for (size_t block : {size_t{1}, size_t{7}, size_t{1000}}) {
          SCOPED_TRACE(std::string(c.what) + (by_sex ? ", by sex" : "") + ", blocks of " +
                       std::to_string(block));
          XRule x;
          x.on = by_sex;
          const PlinkFlat got = read_plink_flat(paths, c.options, block, x);
          ASSERT_TRUE(plink_ok(got.failure)) << describe_plink_failure(got.failure);
          expect_units(got.units, want.units);
          for (size_t i = 0; i < got.units.size() && i < want.units.size(); ++i) {
            EXPECT_EQ(got.x_non_par[i],
                      by_sex && sim_x_non_par(got.units[i].chrom, got.units[i].pos));
            expect_same_codes(got.sex[i].male, want.sex[i].male, "males");
            expect_same_codes(got.sex[i].female, want.sex[i].female, "females");
            EXPECT_EQ(got.sex[i].unknown, want.sex[i].unknown);
          }
          if (c.options.pops) {
            EXPECT_EQ(got.unknown, std::vector<std::string>{"nobody"});
          }
        }
      }
    }
  }
}

// Another sex than the .fam's: a sample the .fam calls male counted as female.
TEST(PlinkReader, SexesGivenOverTheFams) {
  SKIP_WITHOUT("plink2")
  TempDir dir;
  SimVcf v = simulate_plink_vcf(21, 5);
  ASSERT_TRUE(plink2_fileset(dir, "sim", v, fam_text(v)));
  std::vector<FamSex> sex;
  for (SimSample& s : v.samples) {
    s.sex = s.sex == 1 ? 2 : s.sex == 2 ? 1 : 0;
    sex.push_back(static_cast<FamSex>(s.sex));
  }
  // Calls the simulation wrote for males stay what they are: haploid ones are
  // homozygotes to plink, so they count as such for the females they now are.
  const Expected want = expected_units(v, {"all"}, std::vector<int>(21, 0), true);
  const PlinkFlat got = read_plink_flat(plink_fileset(dir.file("sim")), {}, 1000, {true, sex});
  ASSERT_TRUE(plink_ok(got.failure)) << describe_plink_failure(got.failure);
  expect_units(got.units, want.units);
  for (size_t i = 0; i < got.units.size() && i < want.units.size(); ++i)
    expect_same_codes(got.sex[i].male, want.sex[i].male, "males");
}

// plink2's VCF export of a fileset is read by the VCF reader into the same
// sites with the same keys, and away from X (whose males the export writes
// haploid) the same counts; for a fileset of plink2 and one of plink1.9,
// which writes chromosome codes as numbers, A1 as the minor allele and 0 for
// no allele.
TEST(PlinkReader, SitesAndKeysAsTheVcfReaderReadsPlink2sExport) {
  SKIP_WITHOUT("plink2")
  TempDir dir;
  const SimVcf v = simulate_plink_vcf(29, 3);
  ASSERT_TRUE(plink2_fileset(dir, "two", v, fam_text(v, "0")));
  std::vector<std::string> prefixes = {dir.file("two")};
  if (have_tool("plink1.9")) {
    ASSERT_TRUE(run_quietly("plink1.9 --vcf " + dir.file("two.vcf") +
                            " --make-bed --allow-extra-chr --out " + dir.file("one")));
    dir.write("one.fam", fam_text(v, "0"));
    prefixes.push_back(dir.file("one"));
  }
  for (const std::string& prefix : prefixes) {
    SCOPED_TRACE(prefix);
    ASSERT_TRUE(run_quietly("plink2 --bfile " + prefix +
                            " --allow-extra-chr --export vcf bgz --out " + prefix + "-export"));
    const FlatRead vcf = read_flat(prefix + "-export.vcf.gz");
    ASSERT_TRUE(vcf_ok(vcf.failure)) << describe_vcf_failure(vcf.failure);
    const PlinkFlat got = read_plink_flat(plink_fileset(prefix));
    ASSERT_TRUE(plink_ok(got.failure)) << describe_plink_failure(got.failure);
    ASSERT_EQ(got.units.size(), vcf.units.size());
    std::vector<FlatUnit> away_from_x, vcf_away_from_x;
    for (size_t i = 0; i < got.units.size(); ++i) {
      const FlatUnit& a = got.units[i];
      const FlatUnit& b = vcf.units[i];
      SCOPED_TRACE(b.chrom + ":" + std::to_string(b.pos));
      EXPECT_EQ(a.chrom, b.chrom);
      EXPECT_EQ(a.pos, b.pos);
      EXPECT_EQ(a.id, b.id);
      EXPECT_EQ(a.ref, b.ref);
      EXPECT_EQ(a.alt, b.alt);
      EXPECT_EQ(a.key, b.key);
      if (b.chrom != "X") {
        away_from_x.push_back(a);
        vcf_away_from_x.push_back(b);
      }
    }
    EXPECT_GT(away_from_x.size(), 60u);
    expect_units(away_from_x, vcf_away_from_x, true);
  }
}

// Chromosome codes as plink2 names them in its export.
TEST(PlinkReader, ChromosomeCodesNamedAsPlink2ExportsThem) {
  const std::vector<std::pair<std::string, std::string>> codes = {
      {"01", "1"}, {"chr2", "2"},          {"CHR3", "3"},   {"22", "22"},
      {"23", "X"}, {"chrY", "Y"},          {"chrxy", "XY"}, {"M", "MT"},
      {"0", "0"},  {"chrUn_x", "chrUn_x"}, {"X23", "X23"},  {"par2", "X"}};
  std::string bim;
  std::vector<std::vector<int>> genotypes;
  for (size_t i = 0; i < codes.size(); ++i) {
    bim +=
        codes[i].first + "\tv" + std::to_string(i) + "\t0\t" + std::to_string(100 + i) + "\tA\tC\n";
    genotypes.push_back({kBedHomA2, kBedHet, kBedHomA1});
  }
  TempDir dir;
  const PlinkPaths paths =
      write_fileset(dir, "codes", "0 a 0 0 1 1\n0 b 0 0 2 1\n0 c 0 0 0 1\n", bim, genotypes);
  const PlinkFlat got = read_plink_flat(paths);
  ASSERT_TRUE(plink_ok(got.failure)) << describe_plink_failure(got.failure);
  ASSERT_EQ(got.units.size(), codes.size());
  for (size_t i = 0; i < codes.size(); ++i)
    EXPECT_EQ(got.units[i].chrom, codes[i].second) << codes[i].first;

  std::string kinds;
  for (const char* code : {"7", "x", "chrX", "24", "25", "chrMT", "26", "0", "scaffold", "27"}) {
    std::string name;
    kinds += std::to_string(static_cast<int>(classify_plink_chrom(code, name)));
  }
  EXPECT_EQ(kinds, "0112344553");

  if (!have_tool("plink2")) return;
  ASSERT_TRUE(run_quietly("plink2 --bfile " + dir.file("codes") +
                          " --allow-extra-chr --export vcf --out " + dir.file("codes-export")));
  const FlatRead vcf = read_flat(dir.file("codes-export.vcf"));
  ASSERT_TRUE(vcf_ok(vcf.failure)) << describe_vcf_failure(vcf.failure);
  ASSERT_EQ(vcf.units.size(), codes.size());
  for (size_t i = 0; i < codes.size(); ++i) EXPECT_EQ(vcf.units[i].chrom, codes[i].second);
}

}  // namespace
