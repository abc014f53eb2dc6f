// Units analysed as the driver analyses them, for the batch tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "batch/row_columns.h"
#include "batch/unit_analysis.h"
#include "batch/unit_driver.h"

struct Analysed {
  std::string failure;
  UnitResult result;
};

// The statistics, the experiment and, with --exact, the exact tests.
inline Analysed analysed(GenotypeUnit unit, const BatchOptions& options) {
  Analysed a;
  a.failure = analyse_unit(std::move(unit), options, McHooks{}, a.result);
  if (a.failure.empty() && options.exact) a.failure = add_exact_tests(a.result, options, 0);
  return a;
}

// The leading p a run with these options takes from the unit.
inline double lead_of(const UnitResult& r, const BatchOptions& options) {
  return leading_p(r, lead_test_for(options.exact, options.runs > 0)).p;
}

// The row of a unit (r null: nothing tested), its figures made as the
// driver makes them.
inline TsvLine row_line(const InputKind& kind, const BatchOptions& options, const SourceUnit& unit,
                        const UnitResult* r) {
  const RowFigures figures =
      row_figures(r, unit.k, unit.n, lead_test_for(options.exact, options.runs > 0));
  return row_cells(kind, options, RowUnit{unit, r, figures});
}

// A run of a test's kind, its files opened by `open`, its messages on
// standard error.
inline BatchRun test_run(const InputKind& kind, const BatchOptions& options, UnitOpener open) {
  return BatchRun{kind, std::move(open), Diagnostics{"hwmc", nullptr},
                  UnitAnalysis{options, lead_test_for(options.exact, options.runs > 0)}};
}

// The exact tests always sampled, `tables` of them, from a given seed.
inline BatchOptions sampling_options(uint64_t tables, uint32_t seed) {
  BatchOptions options;
  options.exact = true;
  options.max_tables = 0;
  options.tables = tables;
  options.seed_given = true;
  options.seed = seed;
  return options;
}

// A table of k classes from (cell, count) pairs, without letters.
inline GenotypeUnit unit_of(const std::vector<std::pair<int32_t, int32_t>>& counts, int32_t k) {
  GenotypeUnit unit;
  unit.k = k;
  unit.table.allocate_zeroed(static_cast<size_t>(cell_count_for(k)));
  for (auto [pos, count] : counts) {
    unit.table[pos].count = count;
    unit.two_n += 2 * count;
  }
  return unit;
}
