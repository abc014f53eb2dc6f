#include "batch/row_columns.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "batch/batch_units.h"
#include "batch/genepop_source.h"
#include "batch/tsv_cells.h"
#include "exact/exact_report.h"
#include "stats/proportion_limits.h"

namespace {

const InputKind& count_files() { return find_input_kind(""); }
const InputKind& genepop() { return find_input_kind("genepop"); }

// The row read by the header's names.
std::map<std::string, std::string> by_name(const InputKind& kind, const BatchOptions& options,
                                           const SourceUnit& unit, const UnitResult* r) {
  const std::vector<std::string> header = tsv_cells(row_header(kind, options));
  const RowFigures figures =
      row_figures(r, unit.k, unit.n, lead_test_for(options.exact, options.runs > 0));
  TsvLine line = row_cells(kind, options, RowUnit{unit, r, figures});
  if (kind.adjusts_p) add_cell(line, "q");
  const std::vector<std::string> row = tsv_cells(finish_line(line));
  EXPECT_EQ(row.size(), header.size());
  std::map<std::string, std::string> cells;
  for (size_t i = 0; i < header.size() && i < row.size(); ++i) {
    EXPECT_TRUE(cells.emplace(header[i], row[i]).second) << "twice: " << header[i];
  }
  return cells;
}

SourceUnit count_unit(const std::string& name) {
  SourceUnit unit;
  add_text_cell(unit.id, name);
  unit.name = name;
  return unit;
}

TEST(RowColumns, EveryHeaderNameHeadsItsOwnCell) {
  BatchOptions options;
  options.runs = 50;
  options.exact = true;
  options.max_tables = 0;
  options.tables = 300;
  options.seed_given = true;
  options.seed = 9;
  const Analysed a = analysed(unit_of({{0, 3}, {1, 4}, {2, 5}}, 2), options);
  ASSERT_EQ(a.failure, "");
  const UnitResult& r = a.result;
  ASSERT_TRUE(r.mc && r.exact);

  std::map<std::string, std::string> c = by_name(count_files(), options, count_unit("f"), &r);
  // file k n, the genotype counts, the statistics, Monte Carlo, exact, log10_p_lead.
  EXPECT_EQ(c.size(), 3u + 4u + 11u + 10u + exact_column_names().size() + 1u);
  // A unit its source gave no counts: NA, not zeros.
  EXPECT_EQ(c["n_het"], "NA");
  EXPECT_EQ(c["genotype_counts"], "NA");
  EXPECT_EQ(c["file"], "f");
  EXPECT_EQ(c["k"], "2");
  EXPECT_EQ(c["n"], "12");
  EXPECT_EQ(c["x2"], format_float(r.locus.x2_obs));
  EXPECT_EQ(c["df"], std::to_string(r.locus.df));
  EXPECT_EQ(c["x2_crit"], format_float(r.locus.x2_crit));
  EXPECT_EQ(c["p_x2"], format_double(r.p_x2));
  EXPECT_EQ(c["h_obs"], format_double(observed_heterozygosity(r.locus)));
  // 3 AA, 4 AB, 5 BB: 10 and 14 of 24 copies, h_exp = 1 - (100 + 196)/576 =
  // 280/576 rounded once in double, not the report's float32 figure.
  EXPECT_EQ(c["h_exp"], format_double(280.0 / 576.0));
  EXPECT_EQ(c["h_exp"], "0.4861111111111111");
  EXPECT_EQ(c["d"], format_float(r.locus.d_obs));
  EXPECT_EQ(c["seed"], "9");
  EXPECT_EQ(c["mc_runs"], "50");
  EXPECT_EQ(c["mc_p_x2"], format_float(r.mc->p_hw));
  EXPECT_EQ(c["mc_p_d_one"], format_float(r.mc->p_d_one));
  EXPECT_EQ(c["mc_p_d_both"], format_float(r.mc->p_d_both));
  EXPECT_EQ(c["mc_p_d_one_low"], format_double(clopper_pearson_95(r.mc->hits_d_one, 50).low));
  EXPECT_EQ(c["mc_p_d_both_high"],
            format_double(clopper_pearson_95(r.mc->hits_d_both, 50).high));
  EXPECT_EQ(c["exact_method"], "sampling");
  EXPECT_EQ(c["exact_tables"], "300");
  EXPECT_EQ(c["p_prob"], format_double(r.exact->test[ExactTest::kProb].p));
  EXPECT_EQ(c["p_excess_high"], format_double(r.exact->test[ExactTest::kExcess].high));

  // A Genepop row: its identifying columns in front, missing after k n,
  // q_bh last; an untested unit shows what its source counted.
  GenepopTally t;
  t.population = 3;
  t.pop_name = "P3";
  t.locus_name = "L\t1";
  t.allele_codes = {7};
  t.digits = 2;
  t.genotype_counts = {4};
  t.n = 4;
  t.missing = 2;
  const SourceUnit untested = genepop_unit("g", t);
  ASSERT_FALSE(untested.testable);
  c = by_name(genepop(), options, untested, nullptr);
  EXPECT_EQ(c["file"], "g");
  EXPECT_EQ(c["population"], "3");
  EXPECT_EQ(c["pop_name"], "P3");
  EXPECT_EQ(c["locus"], "L\\t1");
  EXPECT_EQ(c["k"], "1");
  EXPECT_EQ(c["n"], "4");
  EXPECT_EQ(c["missing"], "2");
  // Its counts all the same, the code at the locus's width.
  EXPECT_EQ(c["genotype_counts"], "07/07:4");
  EXPECT_EQ(c["n_hom_ref"], "NA");
  EXPECT_EQ(c["seed"], "");
  EXPECT_EQ(c["x2"], "NA");
  EXPECT_EQ(c["mc_runs"], "NA");
  EXPECT_EQ(c["p_prob"], "NA");
  EXPECT_EQ(c["p_lead"], "NA");
  EXPECT_EQ(c["q_bh"], "q");
  const std::vector<std::string> header = tsv_cells(row_header(genepop(), options));
  EXPECT_EQ(header.back(), kQColumn);
  EXPECT_EQ(header[header.size() - 2], "p_lead");
  // A tested unit's p_lead is its leading p, to the last bit.
  c = by_name(genepop(), options, untested, &r);
  EXPECT_EQ(std::stod(c["p_lead"]), leading_p(r, LeadTest::kExactProb).p);
  EXPECT_EQ(c["p_lead"], format_double(exact_leading_p(*r.exact)));
}

TEST(RowColumns, GroupsFollowTheOptionsAndEachColumnWritesOneCell) {
  BatchOptions plain;
  const Analysed a = analysed(unit_of({{0, 3}, {1, 4}, {2, 5}}, 2), plain);
  ASSERT_EQ(a.failure, "");
  const SourceUnit unit = count_unit("f");
  const RowFigures figures = row_figures(&a.result, 0, 0, LeadTest::kChiSquare);
  for (const ColumnGroup& group : column_groups()) {
    for (const Column& column : group.columns) {
      if (std::string(group.name) == "monte carlo" || std::string(group.name) == "exact") continue;
      TsvLine line;
      column.write(line, RowUnit{unit, &a.result, figures});
      EXPECT_FALSE(line.empty) << column.name;  // an empty cell is still a cell
      EXPECT_EQ(line.text.find('\t'), std::string::npos) << column.name;
    }
  }
  const std::vector<std::string> header = tsv_cells(row_header(count_files(), plain));
  EXPECT_EQ(header, (std::vector<std::string>{"file", "k", "n", "n_hom_ref", "n_het",
                                              "n_hom_alt", "genotype_counts", "x2", "df",
                                              "x2_crit", "p_x2",
                                              "h_obs", "h_exp", "he", "f_is", "d", "knd2",
                                              "seed", "log10_p_lead"}));
  // Nothing drew from the seed.
  EXPECT_EQ(by_name(count_files(), plain, unit, &a.result)["seed"], "");
}

// The three Monte Carlo limits of a result whose X2, D one-tail and D
// two-tail probabilities hit as given.
std::vector<std::string> mc_limits(UnitResult& r, uint32_t runs, uint32_t x2, uint32_t one,
                                   uint32_t both) {
  r.mc->runs_made = runs;
  r.mc->hits_hw = x2;
  r.mc->hits_d_one = one;
  r.mc->hits_d_both = both;
  BatchOptions options;
  options.runs = 65000;
  std::map<std::string, std::string> c = by_name(count_files(), options, count_unit("f"), &r);
  return {c["mc_p_x2_low"], c["mc_p_x2_high"], c["mc_p_d_one_low"], c["mc_p_d_one_high"],
          c["mc_p_d_both_low"], c["mc_p_d_both_high"]};
}

TEST(RowColumns, MonteCarloLimitsAreClopperPearsonAtEveryHitCount) {
  BatchOptions options;
  options.runs = 10;
  options.seed_given = true;
  Analysed a = analysed(unit_of({{0, 3}, {1, 4}, {2, 5}}, 2), options);
  ASSERT_TRUE(a.failure.empty() && a.result.mc);
  // No hit, every replicate a hit, and between: defined everywhere, as
  // 1 - 0.025^(1/n) and 0.025^(1/n) at the ends.
  std::vector<std::string> l = mc_limits(a.result, 3200, 0, 3200, 1600);
  EXPECT_EQ(l[0], "0");
  EXPECT_NEAR(std::stod(l[1]), 1 - std::pow(0.025, 1.0 / 3200), 1e-15);
  EXPECT_NEAR(std::stod(l[2]), std::pow(0.025, 1.0 / 3200), 1e-15);
  EXPECT_EQ(l[3], "1");
  EXPECT_NEAR(std::stod(l[4]), 0.4826, 1e-4);
  EXPECT_NEAR(std::stod(l[5]), 0.5174, 1e-4);
  // One replicate made.
  l = mc_limits(a.result, 1, 1, 0, 1);
  EXPECT_NEAR(std::stod(l[0]), 0.025, 1e-15);
  EXPECT_EQ((std::vector<std::string>{l[1], l[2]}), (std::vector<std::string>{"1", "0"}));
  EXPECT_NEAR(std::stod(l[3]), 0.975, 1e-15);
  // None made: NA, as is the probability.
  l = mc_limits(a.result, 0, 0, 0, 0);
  EXPECT_EQ(l, std::vector<std::string>(6, "NA"));
}

// --merge takes a header for a row table's when it names these: the size
// and the statistics, none of the optional groups nor a kind's own columns.
TEST(RowColumns, TheColumnsOfEveryRowAreTheAlwaysPresentGroups) {
  EXPECT_EQ(columns_of_every_row(),
            (std::vector<std::string>{"k", "n", "x2", "df", "x2_crit", "p_x2", "h_obs", "h_exp",
                                      "he", "f_is", "d", "knd2", "seed"}));
}

TEST(RowColumns, AnalysisFailuresCarryTheScreensWords) {
  BatchOptions options;
  EXPECT_EQ(analysed(unit_of({{0, 0}}, 2), options).failure, "possibly incorrect data in file");
  EXPECT_EQ(analysed(unit_of({{0, 7}}, 2), options).failure,
            "only one allele class in file - nothing to test");
}

}  // namespace
