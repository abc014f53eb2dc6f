// The summary (--summary) of merged row tables recomputed from their rows,
// as one run over all the data writes it: every figure of a SummaryUnit is
// in a row. The layout is that of the tables' input kind, which the front
// end recognises from the header (the registered kinds' identifying
// columns); the combined tests join it where the rows have the exact tests'
// columns.
//
// The rows keep the exact tests' point estimates only; a sampled test's p
// becomes its valid p again, (b + 1)/(tables + 1) with b the hits
// p * tables, as the run computed it from the hits. The global U tests
// come from each row's genotype_counts: the unit's counts as its exact
// tests took them, and, where its row says they were enumerated, its law
// of U enumerated again (over exact_tables tables, as the run did). Drawn
// global tests use the run's seed as the rows' seed column shows it; rows
// without genotype_counts (earlier runs) leave them NA, as does a scope
// that needs draws when no row shows the seed.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "figures/unit_statistics.h"
#include "summary/summary_table.h"

// How the rows of the tables' kind feed the summary: its layout (the
// combined tests aside) and the columns of the file and, where the layout
// has such rows, of the population and the locus.
struct SummaryKind {
  SummaryLayout layout;
  std::string file_column;
  std::string population_column;
  std::string locus_column;
};

struct RowSummaryColumns {
  size_t cells = 0;
  size_t file = 0;
  std::optional<size_t> population;
  std::optional<size_t> locus;
  size_t lead = 0;  // p_lead, or p_x2 in a table without one (count files, plain)
  size_t h_obs = 0;
  size_t he = 0;
  size_t n = 0;
  // With the exact tests' columns:
  std::optional<size_t> exact_method;
  size_t exact_tables = 0;
  std::array<size_t, kCombinedTestCount> tests{};
  std::optional<size_t> hwe_fail;  // the filter's verdict, where the rows have it
  // For the global U tests, where the rows have them.
  std::optional<size_t> genotype_counts;
  std::optional<size_t> seed;
};

// The columns the summary reads from a header line (no line feed), and its
// layout into `table`; nothing and `reason` set when one is missing.
std::optional<RowSummaryColumns> row_summary_columns(std::string_view header,
                                                     const SummaryKind& kind, SummaryTable& table,
                                                     std::string& reason);

// One row's unit added to the table; the reason when a cell the summary
// reads is not what hwmc writes there (empty when added).
std::string add_row_to_summary(SummaryTable& table, const RowSummaryColumns& columns,
                               std::string_view row);
