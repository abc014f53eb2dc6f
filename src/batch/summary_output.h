// The batch side of --summary: what the driver hands the summary for each
// unit with a row, and the summary's tab-separated lines.
//
// Columns: file scope name units p_fisher fisher_x2 fisher_df q_bh f_is
// h_obs he, and with the exact tests p_fisher_deficit q_bh_deficit
// p_fisher_excess q_bh_excess at the end, so that the leading columns stand
// where they are whatever the options. NA where a figure has no value.
#pragma once

#include <string>
#include <string_view>

#include "batch/unit_source.h"
#include "cli/command_line.h"
#include "report/unit_result.h"
#include "summary/summary_table.h"

// The kind's layout, with the exact tests' directions when they ran.
SummaryLayout summary_layout(const InputKind& kind, const BatchOptions& options);

// A unit's figures; r null where nothing was tested. The views point into
// file_cell and unit.
SummaryUnit summary_unit_of(std::string_view file_cell, const SourceUnit& unit, const UnitResult* r,
                            const BatchOptions& options);

// The header and every row, each ending in a line feed.
std::string summary_text(const SummaryTable& table);
