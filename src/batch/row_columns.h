// The columns of a batch row as data: each group says when it is present,
// and each column its header name, how its cell is written and what an
// untested unit shows in it. The header and every row are written from the
// same list.
//
// A row: the input kind's identifying columns, then the groups in order
// (k n [missing], the genotype counts (n_hom_ref n_het n_hom_alt
// genotype_counts), the statistics (figures/unit_statistics.h) with the seed,
// the Monte Carlo group with --runs, the exact group with --exact, the structure group with --structure), then,
// where the kind adjusts p-values, p_lead (the p exactly as it enters the
// adjustment) and q_bh.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "batch/input_kind.h"
#include "cli/command_line.h"
#include "figures/row_figures.h"
#include "format/number_format.h"
#include "report/unit_result.h"
#include "tsv/tsv_line.h"

// What a cell is written from: the unit as its source gave it, unless it
// had nothing to test its analysis, and the figures made of both.
struct RowUnit {
  const SourceUnit& unit;
  const UnitResult* result;  // null: nothing was tested
  const RowFigures& figures;
};

struct Column {
  std::string name;
  std::function<void(TsvLine&, const RowUnit&)> write;
  // The cell of a unit with nothing to test; null: write() handles it.
  const char* untested = kNaText;
};

struct ColumnGroup {
  const char* name;
  bool (*present)(const BatchOptions&, const InputKind&);
  std::vector<Column> columns;
};

// Every group, present or not, in row order.
const std::vector<ColumnGroup>& column_groups();

// The columns of every row, whatever the kind and options: those of the
// groups always present. What --merge takes for a row table.
std::vector<std::string> columns_of_every_row();

// The header line for this kind of input with these options.
std::string row_header(const InputKind& kind, const BatchOptions& options);

// A row without q_bh and without its line feed (with p_lead, the figures'
// leading p, where the kind adjusts p).
TsvLine row_cells(const InputKind& kind, const BatchOptions& options, const RowUnit& row);

// --columns: each chosen name's place among a header's names, in the order
// chosen. Nothing, with the reason (which lists the header's names), for a
// name the header does not have or one named twice.
std::optional<std::vector<size_t>> pick_columns(std::span<const std::string_view> names,
                                                const std::vector<std::string>& chosen,
                                                std::string& reason);

// The same among the full row's cells (as row_header names them, p_lead and
// q_bh included); empty when none are chosen (the full row).
std::optional<std::vector<size_t>> chosen_columns(const InputKind& kind,
                                                  const BatchOptions& options,
                                                  std::string& reason);
