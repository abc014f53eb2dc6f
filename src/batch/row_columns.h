// The columns of a batch row as data: each group says when it is present,
// and each column its header name, how its cell is written and what an
// untested unit shows in it. The header and every row are written from the
// same list.
//
// A row: the input kind's identifying columns, then the groups in order
// (k n [missing], the statistics (figures/unit_statistics.h) with the seed,
// the Monte Carlo group with --runs, the exact group with --exact, the structure group with --structure), then,
// where the kind adjusts p-values, p_lead (the p exactly as it enters the
// adjustment) and q_bh.
#pragma once

#include <functional>
#include <string>
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
