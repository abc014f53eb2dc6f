// What both kinds of variant sites say about sex at a file's end, the --sex
// file they read the same way, and their defaults for the exact tests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/site_units.h"
#include "report/temp_dir.h"

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
