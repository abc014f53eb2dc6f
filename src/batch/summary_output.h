// The batch side of --summary: what the driver hands the summary for each
// unit with a row, and the summary's tab-separated lines.
//
// Columns: file scope name units p_fisher fisher_x2 fisher_df q_bh f_is
// h_obs he, and with the exact tests p_fisher_<test> q_bh_<test> for each of
// kCombinedTests (figures/unit_statistics.h) at the end, so that the
// leading columns stand where they are whatever the options. After them,
// with the exact tests, the global U tests of the scope (exact/u_global.h):
// u_sum (S, the sum of its units' U), u_global_method (enumeration: the
// exact convolution; sampling: joint draws), p_u_deficit_global with its
// _low and _high (95% Clopper-Pearson limits when drawn, the p itself when
// exact), q_bh_u_deficit_global (over the valid p, (b + 1)/(T + 1) when
// drawn), and the same four for p_u_excess_global. NA where a figure has
// no value: linked units (VCF), a scope with a unit whose counts are not
// at hand (a merge of rows without genotype_counts), a scope a merge would
// have to draw without the run's seed, a file past the kept units' budget.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "batch/input_kind.h"
#include "cli/command_line.h"
#include "figures/row_figures.h"
#include "report/unit_result.h"
#include "summary/summary_table.h"

// The kind's layout, with the combined tests when the exact tests ran.
SummaryLayout summary_layout(const InputKind& kind, const BatchOptions& options);

// The summary of a run: the layout, and the global U tests' draws as the
// options ask (their threads).
SummaryTable summary_table_for(const InputKind& kind, const BatchOptions& options);

// Whether a run keeps the enumerated units' laws of U (ExactOptions::
// keep_u_law): with the summary's global U tests only.
bool keeps_u_laws(const InputKind& kind, const BatchOptions& options);

// A unit with a row to the summary: its figures, and for the global U
// tests the counts its exact tests ran on with their law of U (r null: an
// untested unit).
void add_unit_to_summary(SummaryTable& table, const InputKind& kind, std::string_view file_cell,
                         const SourceUnit& unit, const RowFigures& figures, const UnitResult* r);

// "the global U tests are NA: ...", once, for what a summary could not
// test (empty when it tested every scope it could).
std::string u_global_note(const SummaryTable& table);
// The same, also saying where rows summary_rows made would have needed
// draws from a seed no merged row showed.
std::string u_global_note(const SummaryTable& table, const std::vector<SummaryRow>& rows);

// A unit's figures, its population and locus the cells of the kind's
// columns with those roles. The views point into file_cell, unit and
// figures.
SummaryUnit summary_unit_of(const InputKind& kind, std::string_view file_cell,
                            const SourceUnit& unit, const RowFigures& figures);

// The header and every row, each ending in a line feed.
std::string summary_text(const SummaryTable& table);
// The same from rows summary_rows has made.
std::string summary_text(const SummaryTable& table, const std::vector<SummaryRow>& rows);
