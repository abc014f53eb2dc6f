// Row tables that hwmc wrote in parts (say one per region of a file) merged
// into the table one run over all the parts writes: one header, the rows in
// the order of the tables, every cell copied byte for byte except q_bh.
// A table with q_bh (its kind adjusts p) also has p_lead, the p as it
// entered the run's adjustment: q_bh is adjusted again (Benjamini-Hochberg)
// over all rows together from p_lead, and a row whose p_lead is NA stays out
// and gets NA. That is the single run's q_bh as long as no unit is in two
// parts. A table without either (a count-file run) is only joined.
//
// Two passes, so that memory grows by a number per row rather than by the
// rows: scan_row_tables checks every table and adjusts the p values;
// write_merged_rows reads the tables again and writes. When the scan fails
// nothing has been written; a summary recomputed from the rows is fed during
// the scan (RowVisitor), so that its failures too come before any output.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "merge/table_file.h"

// Where a merge failed: a table (file and reason) or the output. Text from
// a table (a cell) is escaped in the reason; the file name is not.
struct MergeFailure {
  bool failed = false;
  bool output = false;  // the output took no more
  int error = 0;        // the output's errno
  std::string file;
  std::string reason;
};

struct RowScan {
  MergeFailure failure;
  std::string header;              // the tables' header line, line feed included
  size_t cells = 0;                // per row
  std::optional<size_t> q_column;  // none: the rows are copied whole
  std::vector<double> q;           // per row, in output order; NaN: NA
  std::vector<uint64_t> rows;      // per table
  std::vector<TableStamp> stamps;  // per table, to see a change between passes
};

// Sees the scan's rows: the header line (line feed dropped) once, then every
// row of every table in output order. A non-empty reason fails the scan at
// that table (and line, for a row). Either may be empty.
struct RowVisitor {
  std::function<std::string(std::string_view header)> header;
  std::function<std::string(std::string_view row)> row;
};

// The names of the columns that identify a unit, given the header line
// (line feed dropped); those the header lacks are left out of the key, the
// others taken in the header's order.
using UnitKeyColumns = std::function<std::vector<std::string>(std::string_view header)>;

// The tables must be regular files with the same header, one that names
// every column in `every_row` (the columns hwmc writes in any row table) or,
// a table of columns chosen with --columns, every column of one of
// `chosen` (the identifying columns of a kind), and no column twice, with
// p_lead wherever it has q_bh; every line ends in
// a line feed with as many cells as the header and is not the header
// again, every p_lead is NA or a number from 0 to 1.
//
// They must also be parts of one run. With `unit_key`, no unit (its key
// cells) may be in two tables: a part given twice, or a merged table beside
// one of its parts, fails at the later table's first repeated unit (the
// same unit twice in one table is a file's identical records, and passes).
// Where the header has a seed column, two tables whose rows each carry one
// seed must carry the same one (a table with several was seeded unit by
// unit from the clock, and is not compared).
RowScan scan_row_tables(std::span<const std::string> paths, std::span<const std::string> every_row,
                        const RowVisitor& visitor = {},
                        std::span<const std::vector<std::string>> chosen = {},
                        const UnitKeyColumns& unit_key = {});

// The merged table to `out`; format_q writes a q value as the row writer
// does (NA is written here). With picks (--columns), only the header's
// cells at picks, in their order, of every line. A table that changed
// since the scan fails the merge part-way.
MergeFailure write_merged_rows(const RowScan& scan, std::span<const std::string> paths,
                               std::FILE* out, std::string (*format_q)(double),
                               std::span<const size_t> picks = {});
