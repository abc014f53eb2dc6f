#include "batch/results_page.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "batch/batch_units.h"
#include "batch/unit_driver.h"
#include "stats/multiple_testing.h"

namespace {

// Units of two alleles with the given genotype counts AA AB BB (all zero:
// nothing to test), identified by the cells of `ids`.
struct ScriptedUnit {
  std::vector<std::string> ids;
  std::array<int32_t, 3> counts;
};
struct Script {
  std::vector<ScriptedUnit> units;
  bool fails = false;
};
std::shared_ptr<Script> g_script;

UnitSource open_scripted(const char*) {
  auto done = std::make_shared<bool>(false);
  return UnitSource{[done](std::vector<SourceUnit>& block, std::string& failure) {
    if (*done) {
      if (!g_script->fails) return SourceStatus::kEnd;
      failure = "line 9: broken";
      return SourceStatus::kFailed;
    }
    *done = true;
    block.clear();
    for (const ScriptedUnit& s : g_script->units) {
      SourceUnit& unit = block.emplace_back();
      for (const std::string& cell : s.ids) add_text_cell(unit.id, cell);
      unit.name = s.ids[0];
      unit.k = 2;
      unit.n = s.counts[0] + s.counts[1] + s.counts[2];
      unit.testable = unit.n > 0;
      if (unit.testable)
        unit.genotypes = unit_of({{0, s.counts[0]}, {1, s.counts[1]}, {2, s.counts[2]}}, 2);
    }
    return SourceStatus::kUnits;
  }};
}

const InputKind kGenepopLike{.id_columns = {{"file", IdRole::kFile},
                                            {"population", IdRole::kPopulation},
                                            {"pop_name", IdRole::kPopulationName},
                                            {"locus", IdRole::kLocus}},
                             .counts_missing = true,
                             .adjusts_p = true,
                             .page_style = PageStyle::kGenepop};
const InputKind kVcfLike{.id_columns = {{"file", IdRole::kFile},
                                        {"chrom", IdRole::kChrom},
                                        {"pos", IdRole::kPos},
                                        {"id", IdRole::kSiteId},
                                        {"ref", IdRole::kOther},
                                        {"alt", IdRole::kOther},
                                        {"population", IdRole::kPopulation}},
                         .counts_missing = true,
                         .adjusts_p = true,
                         .page_style = PageStyle::kVcf};

struct PageRun {
  BatchOptions options;
  BatchRun run;
  ResultsPage page;
  explicit PageRun(const InputKind& kind)
      : run(test_run(kind, options, open_scripted)), page{kind, PageData{}, {}, {}} {
    run.outputs.page = &page;
    EXPECT_TRUE(open_pending_rows(run));
  }
  // Writes the waiting rows (standard output captured); their text.
  std::string finish() {
    testing::internal::CaptureStdout();
    EXPECT_TRUE(write_pending_rows(run));
    return testing::internal::GetCapturedStdout();
  }
};

// f_is = 1 - Ho / he for AA AB BB, as the row's figures define it.
double f_is_of(double aa, double ab, double bb) {
  const double n = aa + ab + bb, pa = (2 * aa + ab) / (2 * n);
  const double h_exp = 1 - pa * pa - (1 - pa) * (1 - pa), ho = ab / n;
  const double he = (2 * n * h_exp - ho) / (2 * (n - 1));
  return 1 - ho / he;
}

TEST(ResultsPage, GenepopUnitsArriveWithTheirQAndAFailedFileLeavesNothing) {
  PageRun r(kGenepopLike);
  g_script = std::make_shared<Script>(Script{
      {{{"g\\1.gen", "1", "north\tside", "L1"}, {12, 3, 9}},
       {{"g\\1.gen", "1", "north\tside", "L\x01\xff"}, {0, 0, 0}},
       {{"g\\1.gen", "2", "south", "L1"}, {5, 10, 5}}},
      false});
  run_input_file(r.run, "one", 1);
  EXPECT_TRUE(r.page.data.genepop.empty()) << "no unit before its q_bh is known";
  g_script = std::make_shared<Script>(Script{{{{"bad.gen", "1", "x", "L1"}, {1, 2, 3}}}, true});
  testing::internal::CaptureStderr();
  run_input_file(r.run, "two", 2);
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(r.page.waiting.size(), r.run.outputs.pending.leads.size());

  const std::vector<double> leads = r.run.outputs.pending.leads;
  const std::vector<double> q = adjust_benjamini_hochberg(leads);
  r.finish();

  ASSERT_EQ(r.page.data.genepop.size(), 1u);
  const HeatMapData& map = r.page.data.genepop[0];
  EXPECT_EQ(map.file, "g\\1.gen");  // the cell's escape undone
  ASSERT_EQ(map.populations.size(), 2u);
  EXPECT_EQ(map.populations[0].number, 1);
  EXPECT_EQ(map.populations[0].name, "north\tside");
  EXPECT_EQ(map.populations[1].number, 2);
  EXPECT_EQ(map.loci, (std::vector<std::string>{"L1", "L\x01\xff"}));
  ASSERT_EQ(map.cells.size(), 3u);
  const HeatCell& first = map.cells[0];
  EXPECT_EQ(first.k, 2);
  EXPECT_EQ(first.n, 24);
  EXPECT_EQ(first.p, leads[0]);
  EXPECT_EQ(first.q_bh, q[0]);
  EXPECT_NEAR(first.f_is, f_is_of(12, 3, 9), 1e-6);
  EXPECT_LT(first.d, 0);  // a deficit both ways
  EXPECT_TRUE(std::isnan(map.cells[1].p));  // the NA unit: hatched
  EXPECT_EQ(map.cells[1].locus, 1);
  EXPECT_EQ(map.cells[2].population, 1);
  EXPECT_NEAR(map.cells[2].f_is, 0.0 + f_is_of(5, 10, 5), 1e-6);
  EXPECT_EQ(map.cells[2].q_bh, q[2]);
}

TEST(ResultsPage, VcfSitesGiveNamesPositionsAndGenotypeCounts) {
  PageRun r(kVcfLike);
  g_script = std::make_shared<Script>(Script{
      {{{"s.vcf", "chr2", "1500", "rs1", "A", "G", "EUR"}, {30, 2, 8}},
       {{"s.vcf", "chr2", "1500", "rs1", "A", "G", "AFR"}, {0, 0, 0}},
       {{"s.vcf", "chr3", "77", ".", "C", "T", "EUR"}, {10, 20, 10}}},
      false});
  run_input_file(r.run, "s.vcf", 1);
  r.finish();
  ASSERT_EQ(r.page.data.vcf.size(), 2u);
  const SiteGroup& eur = r.page.data.vcf[0];
  EXPECT_EQ(eur.file, "s.vcf");
  EXPECT_EQ(eur.population, "EUR");
  ASSERT_EQ(eur.chroms.size(), 2u);
  EXPECT_EQ(eur.chroms[0].name, "chr2");
  EXPECT_EQ(eur.chroms[1].first, 77);
  ASSERT_EQ(sites_seen(eur.sites), 2);
  const std::vector<SitePoint>& points =
      eur.sites.strong.empty() ? eur.sites.weak : eur.sites.strong;
  EXPECT_EQ(points[0].pos, 1500);
  EXPECT_EQ(points[0].genotypes, (std::array<int32_t, 3>{30, 2, 8}));
  EXPECT_EQ(r.page.data.vcf[1].population, "AFR");
  EXPECT_EQ(r.page.data.vcf[1].na_sites, 1);
}

TEST(ResultsPage, ACountFileGivesItsTriangleInRowOrder) {
  BatchOptions options;
  Analysed a = analysed(unit_of({{0, 10}, {1, 4}, {2, 1}, {4, 12}, {5, 3}}, 3), options);
  ASSERT_EQ(a.failure, "");
  SourceUnit unit;
  add_text_cell(unit.id, "counts.txt");
  static const InputKind kCounts{.id_columns = {{"file", IdRole::kFile}}};
  ResultsPage page{kCounts, PageData{}, {}, {}};
  RowFigures figures = row_figures(&a.result, 0, 0, LeadTest::kChiSquare);
  figures.lead.p = 0.25;
  add_row_to_page(page, page_row(page, unit, figures, &a.result), kNoValue, &a.result);
  ASSERT_EQ(page.data.count_files.size(), 1u);
  const CountFileFigures& f = page.data.count_files[0];
  EXPECT_EQ(f.file, "counts.txt");
  EXPECT_EQ(f.k, 3);
  EXPECT_EQ(f.n, 30);
  EXPECT_EQ(f.p, 0.25);
  EXPECT_EQ(f.observed, (std::vector<double>{10, 4, 1, 0, 12, 3}));
  // Allele totals 25, 16, 19 of 60 copies; expected 2n p_i p_j off the
  // diagonal, n p_i^2 on it, in the cells of the observed counts.
  ASSERT_EQ(f.expected.size(), 6u);
  EXPECT_NEAR(f.expected[0], 25.0 * 25 / 120, 0.01);
  EXPECT_NEAR(f.expected[1], 2.0 * 25 * 16 / 120, 0.01);
  EXPECT_NEAR(f.expected[5], 19.0 * 19 / 120, 0.01);
}

TEST(ResultsPage, TheDateIsEnglishInEveryLocale) {
  const char* old = std::setlocale(LC_ALL, nullptr);
  const std::string saved = old != nullptr ? old : "C";
  std::setlocale(LC_ALL, "de_DE.UTF-8");  // where it exists
  EXPECT_EQ(english_date(1796789946), "Wednesday 9 December 2026, 04:19:06 UTC");
  EXPECT_EQ(english_date(951782400), "Tuesday 29 February 2000, 00:00:00 UTC");
  EXPECT_EQ(english_date(0), "Thursday 1 January 1970, 00:00:00 UTC");
  std::setlocale(LC_ALL, saved.c_str());

  BatchOptions options;
  options.command_text = "hwmc --batch --html \"a b.html\" x.gen";
  EXPECT_EQ(page_header(options, 0).seed.substr(0, 15), "from the clock,");
  options.seed_given = true;
  options.seed = 4294967295u;
  const PageHeader h = page_header(options, 0);
  EXPECT_EQ(h.seed, "4294967295");
  EXPECT_EQ(h.command_line, options.command_text);
  EXPECT_FALSE(h.version.empty());
}

}  // namespace
