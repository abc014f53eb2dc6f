#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "batch/batch_units.h"
#include "batch/genepop_source.h"
#include "batch/row_columns.h"
#include "batch/tsv_cells.h"
#include "exact/exact_report.h"
#include "genepop/classic_letters.h"
#include "stats/multiple_testing.h"

namespace {

const InputKind& count_files() { return find_input_kind(""); }
const InputKind& genepop() { return find_input_kind("genepop"); }

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
    const Analysed a = analysed(count_unit(kWithEmptyClass), options);
    ASSERT_EQ(a.failure, "");
    const UnitResult& r = a.result;
    ASSERT_TRUE(r.exact);
    ExactOptions direct_options;
    direct_options.max_tables = max_tables;
    direct_options.tables = 5000;
    direct_options.seed = 77;
    direct_options.threads = 1;
    ExactResult direct;
    ASSERT_EQ(run_exact_tests(kCompacted, direct_options, direct), ExactStatus::kOk);
    expect_same(*r.exact, direct);

    SourceUnit unit;
    add_text_cell(unit.id, "f");
    const std::vector<std::string> header = tsv_cells(row_header(count_files(), options));
    TsvLine line = row_line(count_files(), options, unit, &r);
    const std::vector<std::string> row = tsv_cells(finish_line(line));
    ASSERT_EQ(row.size(), header.size());
    // file k n, the genotype counts, the statistics, the seed; log10_p_lead last.
    ASSERT_EQ(header.size(), 18u + exact_column_names().size() + 1);
    EXPECT_EQ(std::vector<std::string>(row.begin() + 18, row.end() - 1),
              format_exact_cells(direct));
    // Only a sampled run drew from the seed.
    EXPECT_EQ(row[17], max_tables == 0 ? "77" : "");
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
  const Analysed a = analysed(count_unit(kWithEmptyClass), options);
  ASSERT_EQ(a.failure, "");
  EXPECT_EQ(a.result.seed, 4000000000u);
  EXPECT_EQ(a.result.mc->seed, 4000000000u);
  EXPECT_EQ(a.result.exact->seed, 4000000000u);

  options.tables = 0;  // only reachable from code: the sampler refuses it
  EXPECT_EQ(analysed(count_unit(kWithEmptyClass), options).failure,
            exact_status_message(ExactStatus::kNoTables));
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
  BatchOptions options = sampling_options(200, 0);
  options.runs = 10;
  SourceUnit unit = genepop_unit("g", wide_tally(130));
  ASSERT_TRUE(unit.testable && unit.failure.empty());
  EXPECT_EQ(unit.report_heading, "");  // the report names classes by letter
  const Analysed a = analysed(std::move(unit.genotypes), options);
  ASSERT_EQ(a.failure, "");
  const UnitResult& r = a.result;
  EXPECT_EQ(r.locus.k, 130);
  EXPECT_EQ(r.locus.df, 130 * 129 / 2);
  EXPECT_EQ(r.locus.het_observed, 65);
  EXPECT_DOUBLE_EQ(observed_heterozygosity(r.locus), 65.0 / 66.0);
  EXPECT_FALSE(r.mc);  // beyond the permutation test's classes
  EXPECT_TRUE(r.exact);
  // No replicate: where the permutation test would lead, the next p does.
  EXPECT_EQ(lead_of(r, runs_only(options.runs)), exact_leading_p(*r.exact));
  // Sampled: the valid p, never the bare estimate.
  EXPECT_EQ(lead_of(r, options), exact_leading_p(*r.exact));
  EXPECT_EQ(lead_of(r, options), (static_cast<double>(r.exact->hits[ExactTest::kProb]) + 1) / 201);

  const std::vector<std::string> header = tsv_cells(row_header(genepop(), options));
  TsvLine line = row_line(genepop(), options, unit, &r);
  const std::vector<std::string> cells = tsv_cells(finish_line(line));
  const auto column = [&](const char* name) {
    return static_cast<size_t>(std::find(header.begin(), header.end(), name) - header.begin());
  };
  EXPECT_EQ(cells[column("mc_runs")], "NA");
  EXPECT_EQ(cells[column("seed")], "0");  // used by the sampler
  EXPECT_EQ(cells[column("k")], "130");

  // Within the letters the same counts give the same figures with or
  // without letters on the cells.
  const GenepopTally named = wide_tally(120);
  SourceUnit lettered = genepop_unit("g", named);
  ASSERT_EQ(lettered.genotypes.table[1].allele2, 'B');
  EXPECT_EQ(lettered.report_heading.substr(0, 1), "\n");
  SourceUnit bare = genepop_unit("g", named);
  for (size_t pos = 0; pos < bare.genotypes.table.size; ++pos)
    bare.genotypes.table[pos].allele1 = bare.genotypes.table[pos].allele2 = 0;
  BatchOptions plain;
  const Analysed la = analysed(std::move(lettered.genotypes), plain);
  const Analysed lb = analysed(std::move(bare.genotypes), plain);
  ASSERT_TRUE(la.failure.empty() && lb.failure.empty());
  EXPECT_EQ(la.result.locus.het_observed, lb.result.locus.het_observed);
  EXPECT_EQ(la.result.locus.d_obs, lb.result.locus.d_obs);
  EXPECT_EQ(la.result.locus.x2_obs, lb.result.locus.x2_obs);
}

TEST(GenepopUnits, UntestedTalliesAndTheLeadingPFollowingTheOptions) {
  EXPECT_FALSE(genepop_unit("g", GenepopTally{}).testable);
  GenepopTally mono;
  mono.allele_codes = {5};
  mono.n = 4;
  EXPECT_FALSE(genepop_unit("g", mono).testable);
  EXPECT_EQ(genepop_unit("g", mono).name, "g: population 0, locus ");

  UnitResult r;
  r.p_x2 = 0.25;
  r.mc.emplace().runs_made = 10;
  r.mc->hits_hw = 5;
  r.mc->p_hw = 0.5f;
  r.exact.emplace().test[ExactTest::kProb].p = 0.125;
  BatchOptions options;
  options.runs = 5;
  options.exact = true;
  BatchOptions plain;
  EXPECT_EQ(lead_of(r, plain), 0.25);
  EXPECT_EQ(lead_of(r, runs_only(5)), 6.0 / 11.0);  // (b + 1)/(m + 1), not 0.5
  EXPECT_EQ(lead_of(r, options), 0.125);            // enumerated: as it is
}

TEST(GenepopUnits, AQValueIsNeverZeroWhenTheLeadingPWasDrawn) {
  // Sampled tables and permutations that never hit: the bare estimate is 0,
  // the p entering q_bh is not.
  GenotypeUnit far = unit_of({{0, 40}, {2, 40}}, 2);  // no heterozygote among 80
  BatchOptions sampled = sampling_options(999, 0);
  const Analysed e = analysed(std::move(far), sampled);
  ASSERT_EQ(e.failure, "");
  ASSERT_EQ(e.result.exact->test[ExactTest::kProb].p, 0.0);
  EXPECT_EQ(lead_of(e.result, sampled), 1.0 / 1000);
  sampled.tables_auto = true;  // no 20th hit by the limit: (0 + 1)/(T + 1)
  sampled.tables = 499;
  const Analysed s = analysed(unit_of({{0, 40}, {2, 40}}, 2), sampled);
  ASSERT_EQ(s.failure, "");
  EXPECT_EQ(s.result.exact->tables, 499u);
  EXPECT_EQ(lead_of(s.result, sampled), 1.0 / 500);

  const Analysed m = analysed(unit_of({{0, 40}, {2, 40}}, 2), runs_only(99));
  ASSERT_EQ(m.failure, "");
  ASSERT_EQ(m.result.mc->p_hw, 0.0f);
  EXPECT_EQ(lead_of(m.result, runs_only(99)), 1.0 / 100);
  const std::vector<double> q = adjust_benjamini_hochberg(
      std::vector<double>{lead_of(e.result, sampled), lead_of(m.result, runs_only(99)), 0.5});
  for (double value : q) EXPECT_GT(value, 0.0);
}

TEST(UnitExact, TablesAutoStopsAtTheTwentiethHitAndShowsTheDrawsMade) {
  BatchOptions options = sampling_options(100000, 5);
  options.tables_auto = true;
  // In Hardy-Weinberg proportions: most tables hit, the 20th comes early.
  const Analysed a = analysed(count_unit(kWithEmptyClass), options);
  ASSERT_EQ(a.failure, "");
  const ExactResult& x = *a.result.exact;
  EXPECT_EQ(x.stop, SamplingStop::kSequentialHits);
  EXPECT_EQ(x.hits[ExactTest::kProb], kSequentialHits);
  EXPECT_LT(x.tables, 1000u);
  EXPECT_EQ(x.test[ExactTest::kProb].p, 20.0 / static_cast<double>(x.tables));
  EXPECT_EQ(lead_of(a.result, options), x.test[ExactTest::kProb].p);

  SourceUnit unit;
  add_text_cell(unit.id, "f");
  const std::vector<std::string> header = tsv_cells(row_header(count_files(), options));
  TsvLine line = row_line(count_files(), options, unit, &a.result);
  const std::vector<std::string> row = tsv_cells(finish_line(line));
  const auto cell = [&](const char* name) {
    return row[static_cast<size_t>(std::find(header.begin(), header.end(), name) -
                                   header.begin())];
  };
  EXPECT_EQ(cell("exact_tables"), std::to_string(x.tables));  // l, the draws made
  EXPECT_EQ(cell("p_prob_mid"), "NA");                         // sampled
  // Enumerated: the mid-p after p_prob's limits.
  options.max_tables = 1000000;
  const Analysed e = analysed(count_unit(kWithEmptyClass), options);
  line = row_line(count_files(), options, unit, &e.result);
  const std::vector<std::string> enumerated = tsv_cells(finish_line(line));
  const size_t mid = static_cast<size_t>(
      std::find(header.begin(), header.end(), "p_prob_mid") - header.begin());
  EXPECT_EQ(header[mid - 1], "p_prob_high");
  EXPECT_EQ(enumerated[mid], format_double(e.result.exact->prob_mid));
  EXPECT_LT(e.result.exact->prob_mid, e.result.exact->test[ExactTest::kProb].p);
}

}  // namespace

namespace {

// A keyed unit's permutations are seeded from the run's seed and its key;
// the values follow from the definition (splitmix64 of key XOR seed, high
// half), worked out apart from this code.
TEST(UnitAnalysis, APermutationSeedIsTheRunsSeedOrItsKeysMix) {
  EXPECT_EQ(permutation_seed(11, 0), 11u);
  EXPECT_EQ(permutation_seed(11, 0xffaa713fa6ce5121ull), 546197040u);
  EXPECT_EQ(permutation_seed(0, 1), 2433363436u);
  EXPECT_EQ(permutation_seed(4294967295u, 0xdef8ff38ac94be52ull), 1994023667u);
}

}  // namespace
