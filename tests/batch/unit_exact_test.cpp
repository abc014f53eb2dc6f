#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "batch/genepop_units.h"
#include "batch/unit_analysis.h"
#include "batch/tsv_cells.h"
#include "batch/unit_columns.h"
#include "exact/exact_report.h"

namespace {

// A count-file unit as read: k classes, letters on every cell named.
GenotypeUnit count_unit(const std::vector<std::vector<int32_t>>& rows) {
  const int32_t k = static_cast<int32_t>(rows.size());
  GenotypeUnit unit;
  unit.k = k;
  unit.table.allocate_zeroed(static_cast<size_t>(cell_count_for(k)));
  for (int32_t i = 0; i < k; ++i) {
    for (int32_t j = i; j < k; ++j) {
      GenotypeCell& cell = unit.table[static_cast<size_t>(tri_index(i, j, k))];
      cell.count = rows[static_cast<size_t>(i)][static_cast<size_t>(j)];
      cell.allele1 = static_cast<char>(65 + i);
      cell.allele2 = static_cast<char>(65 + j);
      unit.two_n += 2 * cell.count;
    }
  }
  return unit;
}

BatchOptions runs_only(uint32_t runs) {
  BatchOptions options;
  options.runs = runs;
  return options;
}

void expect_same(const ExactResult& a, const ExactResult& b) {
  EXPECT_EQ(a.method, b.method);
  EXPECT_EQ(a.tables, b.tables);
  EXPECT_EQ(format_exact_cells(a), format_exact_cells(b));
}

// Class C has no copies: the exact tests see the three classes left.
const std::vector<std::vector<int32_t>> kWithEmptyClass = {
    {3, 2, 0, 4}, {0, 1, 0, 2}, {0, 0, 0, 0}, {0, 0, 0, 5}};
const ExactSample kCompacted{3, {3, 2, 4, 1, 2, 5}};

TEST(UnitExact, TheExactGroupIsADirectRunOnTheCompactedTable) {
  BatchOptions options;
  options.exact = true;
  for (uint64_t max_tables : {uint64_t{1000000}, uint64_t{0}}) {
    options.max_tables = max_tables;
    options.tables = 5000;
    options.seed_given = true;
    options.seed = 77;
    const UnitResult r = analyse_unit(count_unit(kWithEmptyClass), options, McHooks{});
    ASSERT_TRUE(r.ok) << r.reason;
    ASSERT_TRUE(r.with_exact);
    ExactOptions direct_options;
    direct_options.max_tables = max_tables;
    direct_options.tables = 5000;
    direct_options.seed = 77;
    direct_options.threads = 1;
    ExactResult direct;
    ASSERT_EQ(run_exact_tests(kCompacted, direct_options, direct), ExactStatus::ok);
    expect_same(r.exact, direct);

    const std::vector<std::string> header = tsv_cells(count_file_header(options));
    const std::vector<std::string> row = tsv_cells(count_file_row("f", r, options));
    ASSERT_EQ(row.size(), header.size());
    ASSERT_EQ(header.size(), 12u + exact_column_names().size());
    EXPECT_EQ(std::vector<std::string>(row.begin() + 12, row.end()), format_exact_cells(direct));
    // Only a sampled run drew from the seed.
    EXPECT_EQ(row[11], max_tables == 0 ? "77" : "");
  }
}

TEST(UnitExact, OneSeedForBothExperimentsAndExactFailuresFailTheUnit) {
  BatchOptions options;
  options.exact = true;
  options.max_tables = 0;
  options.tables = 100;
  options.runs = 20;
  options.seed_given = true;
  options.seed = 4000000000u;
  const UnitResult r = analyse_unit(count_unit(kWithEmptyClass), options, McHooks{});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.mc.seed, 4000000000u);
  EXPECT_EQ(r.exact.seed, 4000000000u);

  options.tables = 0;  // only reachable from code: the sampler refuses it
  const UnitResult refused = analyse_unit(count_unit(kWithEmptyClass), options, McHooks{});
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.reason, exact_status_message(ExactStatus::no_tables));
}

GenepopTally wide_tally(int32_t classes) {
  // Every class paired once with the next, then one homozygote of the first.
  GenepopTally t;
  t.population = 1;
  t.locus_name = "Wide";
  t.digits = 3;
  const int32_t k = classes;
  t.genotype_counts.assign(static_cast<size_t>(cell_count_for(k)), 0);
  for (int32_t i = 0; i < k; ++i) {
    t.allele_codes.push_back(100 + i);
    t.allele_copies.push_back(0);
  }
  for (int32_t i = 0; i + 1 < k; i += 2) {
    ++t.genotype_counts[static_cast<size_t>(tri_index(i, i + 1, k))];
    ++t.n;
  }
  ++t.genotype_counts[0];
  ++t.n;
  return t;
}

TEST(GenepopUnits, MoreClassesThanLettersAreAnalysedByPosition) {
  BatchOptions options;
  options.runs = 10;
  options.exact = true;
  options.max_tables = 0;
  options.tables = 200;
  options.seed_given = true;
  const GenepopTally wide = wide_tally(130);
  GenotypeUnit unit;
  ASSERT_TRUE(make_genepop_unit(wide, unit));
  const UnitResult r = analyse_unit(std::move(unit), options, McHooks{});
  ASSERT_TRUE(r.ok) << r.reason;
  EXPECT_EQ(r.locus.k, 130);
  EXPECT_EQ(r.locus.df, 130 * 129 / 2);
  EXPECT_EQ(r.locus.het_observed, 65);
  EXPECT_DOUBLE_EQ(observed_heterozygosity(r.locus), 65.0 / 66.0);
  EXPECT_FALSE(r.with_mc);  // beyond the permutation test's classes
  EXPECT_TRUE(r.with_exact);
  EXPECT_TRUE(std::isnan(leading_p(r, runs_only(options.runs))));
  EXPECT_EQ(leading_p(r, options), r.exact.prob.p);

  TsvLine line;
  add_test_cells(line, r, options);
  const std::vector<std::string> cells = tsv_cells(finish_line(line));
  EXPECT_EQ(cells[kStatsColumns.size()], "NA");  // mc_runs
  EXPECT_EQ(cells[kStatsColumns.size() - 1], "0");  // the seed, used by the sampler

  // Within the letters the same counts give the same figures with or
  // without letters on the cells.
  const GenepopTally named = wide_tally(120);
  GenotypeUnit lettered;
  ASSERT_TRUE(make_genepop_unit(named, lettered));
  ASSERT_EQ(lettered.table[1].allele2, 'B');
  GenotypeUnit bare;
  ASSERT_TRUE(make_genepop_unit(named, bare));
  for (size_t pos = 0; pos < bare.table.size; ++pos)
    bare.table[pos].allele1 = bare.table[pos].allele2 = 0;
  BatchOptions plain;
  const UnitResult a = analyse_unit(std::move(lettered), plain, McHooks{});
  const UnitResult b = analyse_unit(std::move(bare), plain, McHooks{});
  ASSERT_TRUE(a.ok && b.ok);
  EXPECT_EQ(a.locus.het_observed, b.locus.het_observed);
  EXPECT_EQ(a.locus.d_obs, b.locus.d_obs);
  EXPECT_EQ(a.locus.x2_obs, b.locus.x2_obs);
}

TEST(GenepopUnits, UntestedRowsFillEveryColumnAndTheLeadingPFollowsTheOptions) {
  BatchOptions options;
  options.runs = 5;
  options.exact = true;
  const size_t header = tsv_cells(genepop_header(options)).size();
  TsvLine line;
  for (int i = 0; i < 7; ++i) add_cell(line, "x");  // file ... missing
  add_untested_cells(line, options);
  const std::vector<std::string> cells = tsv_cells(finish_line(line));
  EXPECT_EQ(cells.size() + 2, header);  // all but p_lead and q_bh
  EXPECT_EQ(cells[7 + kStatsColumns.size() - 1], "");  // seed
  EXPECT_EQ(cells[7], "NA");

  EXPECT_FALSE(genepop_testable(GenepopTally{}));
  GenepopTally mono;
  mono.allele_codes = {5};
  mono.n = 4;
  EXPECT_FALSE(genepop_testable(mono));

  UnitResult r;
  r.p_x2 = 0.25;
  r.with_mc = true;
  r.mc.runs_made = 10;
  r.mc.p_hw = 0.5f;
  r.with_exact = true;
  r.exact.prob.p = 0.125;
  BatchOptions plain;
  EXPECT_EQ(leading_p(r, plain), 0.25);
  EXPECT_EQ(leading_p(r, runs_only(5)), 0.5);
  EXPECT_EQ(leading_p(r, options), 0.125);
}

}  // namespace
