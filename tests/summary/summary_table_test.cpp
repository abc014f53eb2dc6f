#include "summary/summary_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "stats/multiple_testing.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

SummaryUnit unit(const char* file, const char* pop, const char* locus, double p, double ho,
                 double he, int64_t n) {
  return {file, pop, locus, p, {}, ho, he, n};
}

// Two populations at two loci in f, one unit in g: an untested unit (no p,
// no he) and one of a single individual (a p, no he) among them.
SummaryTable study(SummaryLayout layout) {
  SummaryTable t{layout, {}, {}};
  add_summary_unit(t, unit("f", "1", "A", 0.02, 0.5, 0.25, 10));
  add_summary_unit(t, unit("f", "1", "B", 0.5, 0.1, 0.5, 10));
  add_summary_unit(t, unit("f", "2", "A", kNaN, kNaN, kNaN, 0));
  add_summary_unit(t, unit("f", "2", "B", 0.1, 1.0, kNaN, 1));
  add_summary_unit(t, unit("g", "1", "A", 0.3, 0.2, 0.4, 5));
  return t;
}

std::string label(const SummaryRow& r) {
  return r.file + "/" + summary_scope_name(r.scope) + "/" + r.name;
}

TEST(SummaryTable, RowsPerLocusPopulationAndFileWithTheirOwnUnits) {
  const std::vector<SummaryRow> rows = summary_rows(study({.loci = true, .populations = true}));
  std::vector<std::string> labels;
  for (const SummaryRow& r : rows) labels.push_back(label(r));
  EXPECT_EQ(labels,
            (std::vector<std::string>{"f/locus/A", "f/locus/B", "f/population/1", "f/population/2",
                                      "f/file/", "g/locus/A", "g/population/1", "g/file/"}));
  const std::vector<int64_t> units = {1, 2, 2, 1, 3, 1, 1, 1};
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].units, units[i]) << labels[i];

  // Over population 1 of f: Ho 0.5, 0.1 against he 0.25, 0.5. The ratio of
  // sums 1 - 0.6/0.75 = 0.2, not the mean of the units' ratios (-1 and 0.8).
  const SummaryRow& pop1 = rows[2];
  EXPECT_NEAR(pop1.f_is, 0.2, 1e-15);
  EXPECT_NEAR(pop1.h_obs, 0.3, 1e-15);
  EXPECT_NEAR(pop1.he, 0.375, 1e-15);
  EXPECT_NEAR(pop1.f_is, 1 - pop1.h_obs / pop1.he, 1e-15);
  // The file has the same heterozygosity units (the single individual and
  // the untested unit have no he), but three p-values.
  EXPECT_EQ(rows[4].f_is, pop1.f_is);
  EXPECT_EQ(rows[4].lead.df, 6);
  EXPECT_NEAR(rows[4].lead.x2, -2 * std::log(0.02 * 0.5 * 0.1), 1e-13);
  // Population 2: a p, but nothing for the heterozygosities.
  EXPECT_EQ(rows[3].lead.df, 2);
  EXPECT_NEAR(rows[3].lead.p, 0.1, 1e-15);
  EXPECT_TRUE(std::isnan(rows[3].f_is) && std::isnan(rows[3].h_obs) && std::isnan(rows[3].he));
  EXPECT_NEAR(rows[0].f_is, -1.0, 1e-15);
  EXPECT_NEAR(rows[1].f_is, 0.8, 1e-15);

  // q_bh over the rows of one scope across the files, never across scopes.
  for (SummaryScope scope :
       {SummaryScope::kLocus, SummaryScope::kPopulation, SummaryScope::kFile}) {
    std::vector<double> p;
    std::vector<double> q;
    for (const SummaryRow& r : rows) {
      if (r.scope != scope) continue;
      p.push_back(r.lead.p);
      q.push_back(r.lead.q);
    }
    EXPECT_EQ(q, adjust_benjamini_hochberg(p)) << summary_scope_name(scope);
  }
  EXPECT_TRUE(rows[0].tests.empty());  // no further tests asked for
}

TEST(SummaryTable, CountFilesLinkedSitesDirectionsAndADroppedFile) {
  // Count files: the file rows only.
  const std::vector<SummaryRow> files = summary_rows(study({}));
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].units, 3);
  EXPECT_EQ(files[1].scope, SummaryScope::kFile);

  // Linked sites: populations and files, no combined p, heterozygosity kept.
  const std::vector<SummaryRow> sites =
      summary_rows(study({.populations = true, .combine_p = false}));
  ASSERT_EQ(sites.size(), 5u);
  for (const SummaryRow& r : sites) {
    EXPECT_NE(r.scope, SummaryScope::kLocus);
    EXPECT_TRUE(std::isnan(r.lead.p) && std::isnan(r.lead.q) && std::isnan(r.lead.x2));
  }
  EXPECT_NEAR(sites[0].f_is, 0.2, 1e-15);
  EXPECT_EQ(sites[0].units, 2);

  // The directions combine their own p-values.
  SummaryTable exact{{.tests = 2}, {}, {}};
  const double first[] = {0.01, 0.9}, second[] = {0.04, 0.7};
  add_summary_unit(exact, {"f", "", "", 0.2, first, 0.5, 0.5, 8});
  add_summary_unit(exact, {"f", "", "", 0.3, second, 0.5, 0.5, 8});
  add_summary_unit(exact, {"f", "", "", 0.4, {}, 0.5, 0.5, 8});  // without them: NaN
  const SummaryRow r = summary_rows(exact)[0];
  ASSERT_EQ(r.tests.size(), 2u);
  EXPECT_NEAR(r.tests[0].x2, -2 * std::log(0.01 * 0.04), 1e-13);
  EXPECT_NEAR(r.tests[1].x2, -2 * std::log(0.9 * 0.7), 1e-13);
  EXPECT_EQ(r.tests[0].q, r.tests[0].p);  // one row in its scope
  EXPECT_EQ(r.tests[1].df, 4);
  EXPECT_EQ(r.lead.df, 6);

  // A file that failed part way leaves no row; the others keep theirs.
  SummaryTable dropped = study({.loci = true, .populations = true});
  drop_summary_file(dropped, "f");
  add_summary_unit(dropped, unit("h", "1", "A", 0.5, 0.5, 0.5, 4));
  add_summary_unit(dropped, unit("g", "1", "A", 0.5, 0.1, 0.2, 5));
  const std::vector<SummaryRow> left = summary_rows(dropped);
  ASSERT_EQ(left.size(), 6u);
  EXPECT_EQ(label(left[0]), "g/locus/A");
  EXPECT_EQ(left[0].units, 2);  // g again after f was dropped: still one file
  EXPECT_EQ(label(left[5]), "h/file/");
}

}  // namespace
