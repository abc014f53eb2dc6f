// The batch side of --summary: what the driver hands the summary for each
// unit with a row, and the summary's tab-separated lines.
//
// Columns: file scope name units p_fisher fisher_x2 fisher_df q_bh f_is
// h_obs he, and with the exact tests p_fisher_<test> q_bh_<test> for each of
// kCombinedTests (figures/unit_statistics.h) at the end, so that the
// leading columns stand where they are whatever the options. NA where a
// figure has no value.
#pragma once

#include <string>
#include <string_view>

#include "batch/input_kind.h"
#include "cli/command_line.h"
#include "figures/row_figures.h"
#include "summary/summary_table.h"

// The kind's layout, with the combined tests when the exact tests ran.
SummaryLayout summary_layout(const InputKind& kind, const BatchOptions& options);

// A unit's figures, its population and locus the cells of the kind's
// columns with those roles. The views point into file_cell, unit and
// figures.
SummaryUnit summary_unit_of(const InputKind& kind, std::string_view file_cell,
                            const SourceUnit& unit, const RowFigures& figures);

// The header and every row, each ending in a line feed.
std::string summary_text(const SummaryTable& table);
