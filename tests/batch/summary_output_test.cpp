#include "batch/summary_output.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "batch/batch_units.h"
#include "batch/row_columns.h"
#include "batch/tsv_cells.h"
#include "batch/unit_driver.h"
#include "format/number_format.h"

namespace {

const InputKind& count_files() { return find_input_kind(""); }
const InputKind& genepop() { return find_input_kind("genepop"); }

// A count file's row cell by header name.
std::string row_cell(const std::vector<std::pair<int32_t, int32_t>>& counts,
                     const std::string& name) {
  const BatchOptions options;
  const Analysed a = analysed(unit_of(counts, 2), options);
  EXPECT_EQ(a.failure, "");
  SourceUnit unit;
  add_text_cell(unit.id, "f");
  const std::vector<std::string> header = tsv_cells(row_header(count_files(), options));
  const RowFigures figures = row_figures(&a.result, 0, 0, LeadTest::kChiSquare);
  TsvLine line = row_cells(count_files(), options, RowUnit{unit, &a.result, figures});
  const std::vector<std::string> cells = tsv_cells(finish_line(line));
  for (size_t i = 0; i < header.size(); ++i) {
    if (header[i] == name) return cells[i];
  }
  ADD_FAILURE() << name;
  return "";
}

// Cells 0, 1, 2: AA, AB, BB.
TEST(UnitColumns, HeAndFisFollowHExpAndMeetTheirDefinitions) {
  const std::vector<std::string> header = tsv_cells(row_header(genepop(), BatchOptions{}));
  const auto h_exp = std::find(header.begin(), header.end(), "h_exp");
  ASSERT_NE(h_exp, header.end());
  EXPECT_EQ(*(h_exp + 1), "he");
  EXPECT_EQ(*(h_exp + 2), "f_is");
  // Ho = He_b = 1/2 with n = 4: he = (2n He_b - Ho) / (2(n - 1)) = 7/12,
  // f_is = 1/(2n - 1).
  EXPECT_EQ(row_cell({{0, 1}, {1, 2}, {2, 1}}, "he"), format_double(7.0 / 12));
  EXPECT_EQ(row_cell({{0, 1}, {1, 2}, {2, 1}}, "f_is"), format_double(1.0 / 7));
  EXPECT_EQ(row_cell({{0, 2}, {2, 2}}, "f_is"), "1");  // no heterozygotes
  EXPECT_EQ(row_cell({{1, 4}}, "f_is"), "-1");         // all: -1 here
  EXPECT_EQ(row_cell({{1, 1}}, "he"), "NA");           // one individual
  EXPECT_EQ(row_cell({{1, 1}}, "f_is"), "NA");
}

TEST(SummaryOutput, TheShippedGenepopExampleAgainstAHandCalculation) {
  BatchOptions options;
  BatchRun run = test_run(genepop(), options, genepop().prepare(options, Diagnostics{}).open);
  run.outputs.summary = SummaryTable{summary_layout(genepop(), options), {}, {}};
  ASSERT_TRUE(open_pending_rows(run));
  const std::string path = HWMC_SOURCE_DIR "/examples/sample.gen";
  run_input_file(run, path.c_str(), 1);
  ASSERT_FALSE(run.any_failed);
  const std::vector<SummaryRow> rows = summary_rows(*run.outputs.summary);
  ASSERT_EQ(rows.size(), 5u + 3u + 1u);
  const SummaryRow& loc2 = rows[1];
  EXPECT_EQ(loc2.scope, SummaryScope::kLocus);
  EXPECT_EQ(loc2.name, "Loc2");
  EXPECT_EQ(loc2.units, 3);
  // Loc2 by hand (alleles 528 531 534 537):
  //   P1 n=12, 6 het, copies 1 14 0 9:  he = (576-278-12)/(24*22) = 13/24
  //   P2 n=11, 7 het, copies 2 10 1 9:  he = (484-186-14)/(22*20) = 71/110
  //   P3 n=12, 6 het, copies 0 14 0 10: he = (576-296-12)/(24*22) = 67/132
  // h_obs = (1/2 + 7/11 + 1/2)/3 = 6/11; he = 2237/3960;
  // f_is = 1 - (18/11)/(2237/1320) = 77/2237.
  EXPECT_NEAR(loc2.h_obs, 6.0 / 11, 1e-15);
  EXPECT_NEAR(loc2.he, 2237.0 / 3960, 1e-15);
  EXPECT_NEAR(loc2.f_is, 77.0 / 2237, 1e-15);
  // Its p: Fisher's method over the three units' leading p (rows are
  // population by population, five loci each).
  const std::vector<double>& pending = run.outputs.pending.leads;
  const double leads[] = {pending[1], pending[6], pending[11]};
  EXPECT_NEAR(loc2.lead.x2, -2 * (std::log(leads[0]) + std::log(leads[1]) + std::log(leads[2])),
              1e-12);
  EXPECT_EQ(loc2.lead.df, 6);
  // Every unit of the file is polymorphic: 15 units, 3 populations.
  EXPECT_EQ(rows[8].units, 15);
  EXPECT_EQ(rows[5].name, "1");

  // The table: its header, then the rows with their cells.
  const std::string text = summary_text(*run.outputs.summary);
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end + 1 - at));
    at = end + 1;
  }
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(tsv_cells(lines[0]),
            (std::vector<std::string>{"file", "scope", "name", "units", "p_fisher", "fisher_x2",
                                      "fisher_df", "q_bh", "f_is", "h_obs", "he"}));
  const std::vector<std::string> loc2_cells = tsv_cells(lines[2]);
  EXPECT_EQ(loc2_cells[0], path);
  EXPECT_EQ(loc2_cells[1], "locus");
  EXPECT_EQ(loc2_cells[2], "Loc2");
  EXPECT_EQ(loc2_cells[6], "6");
  EXPECT_EQ(loc2_cells[8], format_double(loc2.f_is));
  EXPECT_EQ(tsv_cells(lines[9])[1], "file");
  EXPECT_EQ(tsv_cells(lines[9])[2], "");
}

TEST(SummaryOutput, ExactDirectionsAndNaCells) {
  BatchOptions options;
  options.exact = true;
  const SummaryLayout layout = summary_layout(count_files(), options);
  EXPECT_FALSE(layout.loci || layout.populations);
  SummaryTable table{layout, {}, {}};
  Analysed a = analysed(unit_of({{0, 6}, {1, 1}, {2, 5}}, 2), options);
  ASSERT_EQ(a.failure, "");
  SourceUnit unit;
  const LeadTest lead = lead_test_for(true, false);
  const RowFigures tested = row_figures(&a.result, 0, 0, lead);
  const RowFigures untested = row_figures(nullptr, 2, 12, lead);
  // With its law of U, as a run with --summary keeps it.
  ASSERT_EQ(add_exact_tests(a.result, options, 1, nullptr, true), "");
  ASSERT_FALSE(a.result.exact->u_law.u.empty());
  add_unit_to_summary(table, count_files(), "c", unit, tested, &a.result);
  add_unit_to_summary(table, count_files(), "u", unit, untested, nullptr);
  const std::string text = summary_text(table);
  const size_t first = text.find('\n');
  const size_t second = text.find('\n', first + 1);
  const std::vector<std::string> header = tsv_cells(text.substr(0, first + 1));
  ASSERT_EQ(header.size(), 25u);
  EXPECT_EQ(header[11], "p_fisher_deficit");
  EXPECT_EQ(header[14], "q_bh_excess");
  EXPECT_EQ(header[15], "u_sum");
  EXPECT_EQ(header[17], "p_u_deficit_global");
  EXPECT_EQ(header[20], "q_bh_u_deficit_global");
  EXPECT_EQ(header[24], "q_bh_u_excess_global");
  const std::vector<std::string> c = tsv_cells(text.substr(first + 1, second - first));
  // One unit: Fisher's p of one p is that p (here enumerated p_deficit).
  EXPECT_NEAR(std::stod(c[11]), a.result.exact->test[ExactTest::kDeficit].p, 1e-15);
  EXPECT_NEAR(std::stod(c[13]), a.result.exact->test[ExactTest::kExcess].p, 1e-15);
  // The global tests of one enumerated unit are its own U tests, exactly.
  EXPECT_EQ(c[15], format_double(a.result.exact->u_score));
  EXPECT_EQ(c[16], "enumeration");
  EXPECT_NEAR(std::stod(c[17]), a.result.exact->test[ExactTest::kUDeficit].p, 1e-12);
  EXPECT_NEAR(std::stod(c[21]), a.result.exact->test[ExactTest::kUExcess].p, 1e-12);
  EXPECT_EQ(c[18], c[17]);
  EXPECT_EQ(c[23], c[21]);
  const std::vector<std::string> u = tsv_cells(text.substr(second + 1));
  EXPECT_EQ(u, (std::vector<std::string>{"u", "file", "", "0", "NA", "NA", "NA", "NA", "NA",
                                         "NA", "NA", "NA", "NA", "NA", "NA", "NA", "NA", "NA",
                                         "NA", "NA", "NA", "NA", "NA", "NA", "NA"}));
}

TEST(SummaryOutput, UnitsWithoutTheirCountsGiveNaGlobalTestsAndANote) {
  BatchOptions options;
  options.exact = true;
  SummaryTable table = summary_table_for(count_files(), options);
  const Analysed a = analysed(unit_of({{0, 6}, {1, 1}, {2, 5}}, 2), options);
  ASSERT_EQ(a.failure, "");
  SourceUnit unit;
  const RowFigures tested = row_figures(&a.result, 0, 0, lead_test_for(true, false));
  // As a merge adds a row: the figures, no counts.
  add_summary_unit(table, summary_unit_of(count_files(), "c", unit, tested));
  const std::vector<SummaryRow> rows = summary_rows(table);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_FALSE(rows[0].u_global.has_value());
  EXPECT_NE(u_global_note(table).find("genotype_counts"), std::string::npos);
  // A budget too small for one unit: the file keeps none, and says why.
  SummaryTable small = summary_table_for(count_files(), options);
  small.u.kept_bytes = 16;
  add_unit_to_summary(small, count_files(), "c", unit, tested, &a.result);
  EXPECT_TRUE(small.files[0].u_dropped);
  EXPECT_EQ(small.u_bytes, 0u);
  EXPECT_FALSE(summary_rows(small)[0].u_global.has_value());
  EXPECT_NE(u_global_note(small).find("for c"), std::string::npos);
}

}  // namespace
