// What both kinds of variant sites say about sex at a file's end, the --sex
// file they read the same way, and their defaults for the exact tests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/site_units.h"
#include "report/temp_dir.h"
#include "vcf/site_tally.h"

namespace {

struct Captured {
  std::vector<std::string> lines;
  Diagnostics diagnostics() {
    return Diagnostics{"hwmc", [this](const std::string& line) { lines.push_back(line); }};
  }
};

TEST(SiteNotes, WithoutSexesOnlyTheXSitesTestedAsAutosomesAreNoted) {
  Captured c;
  note_sex_linked_sites(c.diagnostics(), "f.vcf", false, {1, 5, 3}, ": WHY", " WHERE");
  ASSERT_EQ(c.lines.size(), 1u);
  EXPECT_EQ(c.lines[0],
            "hwmc: f.vcf: 1 site on X outside the pseudo-autosomal regions tested as "
            "autosomes: WHY\n");
  Captured none;
  note_sex_linked_sites(none.diagnostics(), "f.vcf", false, {0, 5, 3}, ": WHY", "");
  EXPECT_TRUE(none.lines.empty());
}

TEST(SiteNotes, WithSexesYAndMitochondriaAndUnknownSamplesAreCountedInWords) {
  Captured c;
  note_sex_linked_sites(c.diagnostics(), "p", true, {4, 2, 1}, ": WHY", " (or not in s.txt)");
  ASSERT_EQ(c.lines.size(), 2u);
  EXPECT_EQ(c.lines[0],
            "hwmc: p: 2 sites on Y or the mitochondria left out: they have no Hardy-Weinberg "
            "test\n");
  EXPECT_EQ(c.lines[1], "hwmc: p: 1 sample of unknown sex (or not in s.txt) left out of the X "
                        "sites\n");
  // Samples of unknown sex matter only where there were X sites.
  Captured no_x;
  note_sex_linked_sites(no_x.diagnostics(), "p", true, {0, 1, 7}, "", "");
  ASSERT_EQ(no_x.lines.size(), 1u);
  EXPECT_NE(no_x.lines[0].find("1 site on Y"), std::string::npos);
}

TEST(SiteNotes, SexFileIsReadOrItsFailureNamesTheFile) {
  TempDir dir;
  const std::string good = dir.write("sexes.txt", "A\t1\nB\t2\nC\t0\n");
  Captured c;
  std::vector<SexEntry> entries;
  ASSERT_TRUE(read_run_sexes(good, c.diagnostics(), entries));
  EXPECT_EQ(entries.size(), 3u);
  EXPECT_TRUE(c.lines.empty());
  const std::string bad = dir.write("bad.txt", "A\t1\nB\tX\n");
  std::vector<SexEntry> none;
  EXPECT_FALSE(read_run_sexes(bad, c.diagnostics(), none));
  ASSERT_EQ(c.lines.size(), 1u);
  EXPECT_EQ(c.lines[0].rfind("hwmc: " + bad + ": line 2", 0), 0u) << c.lines[0];
  EXPECT_FALSE(read_run_sexes(dir.file("absent.txt"), c.diagnostics(), none));
  EXPECT_EQ(c.lines.size(), 2u);
}

TEST(SiteNotes, SitesSampleSequentiallyUnlessACountOfTablesIsGiven) {
  BatchOptions o;
  settle_site_options(o);
  EXPECT_TRUE(o.tables_auto);
  BatchOptions given;
  given.tables_given = true;
  settle_site_options(given);
  EXPECT_FALSE(given.tables_auto);
}

}  // namespace

// A unit remade in place of another, already analysed one (a block's units
// are made where the block before lay) is the unit made afresh: nothing of
// the old one shows, whatever it held.
TEST(SiteUnits, RemadeUnitIsTheFreshOne) {
  SamplePopulations pops;
  pops.names = {"north", "south"};
  pops.of_sample = {0, 0, 1, 1};
  pops.sample_count = {2, 2};
  SiteBlock b;
  TallyWorkspace work;
  const SiteText sites[] = {{"1", "rs1", "A", "G", 100, 2, true, 1},
                            {"2", "rs2", "C", ".", 200, 1, true, 2},
                            {"3", "rs3", "T", "A", 300, 2, false, 3}};
  for (const SiteText& s : sites) {
    const size_t cells = s.n_allele == 2 ? 3 : 1;
    work.cells.assign(2 * cells, 0);
    work.counted.assign(2, 0);
    if (s.has_gt) {
      work.cells[0] = 1;  // north: 0/0, 0/1
      if (cells == 3) work.cells[1] = 1;
      work.cells[cells + cells - 1] = 2;  // south: the last genotype twice
      work.counted = {cells == 3 ? 2 : 1, 2};
    }
    add_site_units(s, pops, 7, 1, work, b);
  }
  ASSERT_EQ(b.units.size(), 6u);
  SourceUnit used;
  for (const SiteUnit& u : b.units) {
    const std::string& population = pops.names[static_cast<size_t>(u.population)];
    const SourceUnit fresh = site_source_unit("f.bed", b, u, population);
    // What analysing and writing a unit may leave in it.
    used.failure = "out of memory";
    used.report_heading = "heading";
    used.structure = InbreedingTest{};
    used.by_sex = true;
    used.males = 9;
    used.x_linked.males = {1, 2, 3};
    used.x_linked_key = 5;
    used.counts.two_allele = {8, 8, 8};
    remake_site_source_unit("f.bed", b, u, population, used);
    EXPECT_EQ(used.id.text, fresh.id.text);
    EXPECT_EQ(used.id.empty, fresh.id.empty);
    EXPECT_EQ(used.name, fresh.name);
    EXPECT_EQ(used.testable, fresh.testable);
    EXPECT_EQ(used.k, fresh.k);
    EXPECT_EQ(used.n, fresh.n);
    EXPECT_EQ(used.missing, fresh.missing);
    EXPECT_EQ(used.counts.text, fresh.counts.text);
    EXPECT_EQ(used.counts.two_allele, fresh.counts.two_allele);
    EXPECT_EQ(used.failure, fresh.failure);
    EXPECT_EQ(used.report_heading, fresh.report_heading);
    EXPECT_EQ(used.structure.has_value(), fresh.structure.has_value());
    EXPECT_EQ(used.by_sex, fresh.by_sex);
    EXPECT_EQ(used.males, fresh.males);
    EXPECT_EQ(used.x_linked.males, fresh.x_linked.males);
    EXPECT_EQ(used.x_linked_key, fresh.x_linked_key);
    EXPECT_EQ(used.genotypes.k, fresh.genotypes.k);
    EXPECT_EQ(used.genotypes.two_n, fresh.genotypes.two_n);
    EXPECT_EQ(used.genotypes.stream_key, fresh.genotypes.stream_key);
    ASSERT_EQ(used.genotypes.table.size, fresh.genotypes.table.size);
    for (size_t c = 0; c < fresh.genotypes.table.size; ++c)
      EXPECT_EQ(used.genotypes.table[c].count, fresh.genotypes.table[c].count);
  }
  // The rows' texts as written for the first unit, so that the comparison
  // above is of something.
  const SourceUnit first = site_source_unit("f.bed", b, b.units[0], "north");
  EXPECT_EQ(first.id.text, "f.bed\t1\t100\trs1\tA\tG\tnorth");
  EXPECT_EQ(first.counts.text, "0/0:1,0/1:1");
}
