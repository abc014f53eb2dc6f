// The summary (--summary) of merged row tables recomputed from their rows,
// as one run over all the data writes it: every figure of a SummaryUnit is
// in a row. The layout follows the header: population and locus columns
// (Genepop) give loci and populations, chrom (VCF) populations without a
// Fisher combination, anything else (count files) files only.
//
// The rows keep the exact tests' point estimates only; a sampled deficit or
// excess p becomes its valid p again, (b + 1)/(tables + 1) with b the hits
// p * tables, as the run computed it from the hits.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "summary/summary_table.h"

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
  size_t deficit = 0;
  size_t excess = 0;
};

// The columns the summary reads from a header line (no line feed), and its
// layout into `table`; nothing and `reason` set when one is missing.
std::optional<RowSummaryColumns> row_summary_columns(std::string_view header, SummaryTable& table,
                                                     std::string& reason);

// One row's unit added to the table; the reason when a cell the summary
// reads is not what hwmc writes there (empty when added).
std::string add_row_to_summary(SummaryTable& table, const RowSummaryColumns& columns,
                               std::string_view row);
