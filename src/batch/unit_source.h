// Where batch units come from: one kind of input file (count file, Genepop
// file, ...) read as a stream of units, each with the cells that identify
// it in its row. The driver (unit_driver.h) analyses whatever a source
// hands out; a new kind of input is a new InputKind and its source, nothing
// else.
//
// A source is pulled a block at a time, so a file of millions of units is
// never held whole: only the block being analysed is in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "batch/tsv_line.h"
#include "batch/unit_analysis.h"
#include "cli/command_line.h"
#include "html/page_data.h"
#include "summary/summary_table.h"

struct SourceUnit {
  TsvLine id;        // the identifying cells, as the kind's id_columns name them
  std::string name;  // the unit in a message: "FILE" or "FILE: population 2, locus L"
  // Without a table (nothing to test) the row is NA and there is no report.
  bool testable = true;
  GenotypeUnit genotypes;
  std::string failure;  // the unit could not be made (memory): no row, a message
  // The unit's size as the source counts it, shown where nothing was
  // analysed; an analysed unit shows its analysis's figures.
  int32_t k = 0;
  int32_t n = 0;
  int32_t missing = 0;      // individuals not typed, where the kind counts them
  std::string report_heading;  // written before the unit's report
  std::string not_reported;    // why the unit gets no report (a note, not a failure)
  // The unit's population and locus as its row shows them, for the summary
  // (empty where the kind has none).
  std::string population;
  std::string locus;
};

enum class SourceStatus { kUnits, kEnd, kFailed };

// next(block, failure) replaces block with the next units of the file
// (kUnits, at least one), or says the file is done (kEnd) or cannot be read
// further (kFailed, the reason in failure, without the file name).
struct UnitSource {
  std::function<SourceStatus(std::vector<SourceUnit>& block, std::string& failure)> next;
};

struct InputKind {
  std::vector<std::string> id_columns;  // header names of SourceUnit::id
  bool counts_missing = false;          // a `missing` column after `k n`
  // q_bh over all rows of the run: the rows wait for the run's end.
  bool adjusts_p = false;
  std::function<UnitSource(const char* path)> open;
  // The rows of --summary for this kind (the driver adds the exact tests'
  // directions): by default the file rows only.
  SummaryLayout summary{};
  // How the results page draws the units. It reads their identifying cells
  // by column name: `file`; `population` (a number, or with kVcf the
  // population's name), `pop_name`, `locus`; `chrom`, `pos`, `id`.
  UnitKind page_kind = UnitKind::kCountFile;
};

// One identifying column of a source, over the source's own record of a
// unit: its name and how its cell is written, side by side so that the
// header and the cells come from one list.
template <class Item>
struct IdColumn {
  const char* name;
  void (*write)(TsvLine& line, const Item& item);
};

template <class Item, size_t N>
std::vector<std::string> id_column_names(const IdColumn<Item> (&columns)[N]) {
  std::vector<std::string> names;
  for (const IdColumn<Item>& column : columns) names.emplace_back(column.name);
  return names;
}

template <class Item, size_t N>
TsvLine id_cells(const IdColumn<Item> (&columns)[N], const Item& item) {
  TsvLine line;
  line.text.reserve(128);  // most lines in one allocation
  for (const IdColumn<Item>& column : columns) column.write(line, item);
  return line;
}
