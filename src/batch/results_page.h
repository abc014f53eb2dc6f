// The results page of a batch run (--html): each unit goes to the page
// when its final row is written (with q_bh, for the kinds that adjust p).
// Its names come from the unit's identifying cells, by the roles the kind
// gives its columns, when the row is made; its figures from the row's
// figures. What a row waiting for q_bh needs is kept compactly: its names
// once per distinct name, a few numbers per row. A source knows nothing of
// the page.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "batch/diagnostics.h"
#include "batch/input_kind.h"
#include "cli/command_line.h"
#include "figures/row_figures.h"
#include "fileio/unique_fd.h"
#include "html/page_data.h"
#include "report/unit_result.h"
#include "summary/summary_table.h"

// The names of the rows a page holds, each kept once; the first is the empty
// name of a row without one. A site's ID is not kept: the page draws none,
// and a genome's IDs would be a name per row.
struct PageNames {
  std::vector<std::string> text;
  NameIndex index;
};

// What the page needs of a row besides its q_bh.
struct PageRow {
  double p = kNoValue;  // the leading p, as q_bh takes it; NaN where none
  int32_t k = 0;
  int32_t n = 0;
  double f_is = kNoValue;  // NaN where it has no value (a row's cell holds a double)
  float d = kNoValue;
  std::array<int32_t, 3> genotypes{-1, -1, -1};  // two alleles: AA AB BB
  double p_u_deficit = kNoValue;                 // with the exact tests
  double p_u_excess = kNoValue;
  int32_t population = 0;                        // the population's number, where it has one
  int64_t pos = 0;
  // Indices into PageNames::text.
  uint32_t file = 0, population_name = 0, locus = 0, chrom = 0;
};

struct ResultsPage {
  const InputKind& kind;
  PageData data;
  std::vector<PageRow> waiting;  // one per row waiting for q_bh
  PageNames names;
};

// A row's names and figures; r null: the unit had nothing to test (an NA
// row).
PageRow page_row(ResultsPage& page, const SourceUnit& unit, const RowFigures& figures,
                 const UnitResult* r);

// The names of a row from its identifying cells (as the kind's id_columns
// name them, escaped as in the rows), into `row`.
void set_page_names(ResultsPage& page, std::span<const std::string_view> cells, PageRow& row);

// One unit to the page with its q_bh (NaN where it has none) and, for a
// count file, its analysis for the genotype triangle.
void add_row_to_page(ResultsPage& page, const PageRow& row, double q_bh, const UnitResult* r);

// Every row of the run's summary (--summary) to the page: the bars beside
// the heat maps.
void add_summary_rows(PageData& page, const SummaryTable& summary);
void add_summary_rows(PageData& page, const std::vector<SummaryRow>& rows);

// "Wednesday 9 December 2026, 04:19:06 UTC", the same in every locale.
std::string english_date(std::time_t t);

PageHeader page_header(const BatchOptions& options, std::time_t now);


// --figures DIR: the folder made (its parent must exist) and tried for
// writing before the analysis, so that a run does not find out at its end;
// false after telling why.
bool prepare_figure_folder(const Diagnostics& diagnostics, const std::string& folder);

// Every figure of the page into the folder as SVG and, through rsvg-convert,
// PDF. A converter that cannot be run is one line on standard error (the
// SVGs stand); a file not written, or a PDF the converter failed on, is a
// failure: false after telling which.
bool write_page_figures(const Diagnostics& diagnostics, const std::string& folder,
                        const PageData& page, const std::string& converter = "rsvg-convert");
