// The results page of a batch run (--html): each unit goes to the page
// when its final row is written (with q_bh, for the kinds that adjust p),
// its names read from the row's identifying cells by column name (see
// InputKind::page_kind), its figures from the few numbers kept beside the
// row while it waits. A source knows nothing of the page.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "batch/unit_source.h"
#include "cli/command_line.h"
#include "fileio/unique_fd.h"
#include "html/page_data.h"
#include "report/unit_result.h"
#include "summary/summary_table.h"

// What the page needs of a row besides its cells and its q_bh.
struct PageRow {
  double p = kNoValue;  // the leading p, as q_bh takes it; NaN where none
  int32_t k = 0;
  int32_t n = 0;
  float f_is = kNoValue;  // NaN where it has no value
  float d = kNoValue;
  std::array<int32_t, 3> genotypes{-1, -1, -1};  // two alleles: AA AB BB
};

struct ResultsPage {
  const InputKind& kind;
  PageData data;
  std::vector<PageRow> waiting;  // one per row waiting for q_bh
};

// r null: the unit had nothing to test (an NA row).
PageRow page_row(const SourceUnit& unit, const UnitResult* r, double lead);

// One unit to the page: its row's cells (tab-separated, the identifying
// ones first), its q_bh (NaN where it has none) and, for a count file, its
// analysis for the genotype triangle.
void add_row_to_page(ResultsPage& page, std::string_view cells, const PageRow& row, double q_bh,
                     const UnitResult* r);

// Every row of the run's summary (--summary) to the page: the bars beside
// the heat maps.
void add_summary_rows(PageData& page, const SummaryTable& summary);

// "Wednesday 9 December 2026, 04:19:06 UTC", the same in every locale.
std::string english_date(std::time_t t);

PageHeader page_header(const BatchOptions& options, std::time_t now);

// The page replaces what the file held (a regular file is cut to it), and
// the file is closed; false when any of it failed.
bool write_page_over(UniqueFd& file, const PageData& page);
