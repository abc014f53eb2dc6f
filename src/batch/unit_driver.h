// The one driver of batch units, whatever their source: pulls the blocks of
// an input file, analyses their units (the exact tests side by side where
// there are enough units), writes each unit's row and report, and, where
// the kind of input adjusts p-values, keeps the rows until q_bh is known
// (in a temporary file, row_spool.h). Failures go to standard error as
// "PROGRAM: WHAT: REASON"; a file whose units could not be had for want of
// memory is "PROGRAM: FILE: out of memory", and the other files go on.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "batch/progress_line.h"
#include "batch/results_page.h"
#include "batch/row_spool.h"
#include "batch/tsv_line.h"
#include "batch/unit_source.h"
#include "cli/command_line.h"
#include "montecarlo/experiment.h"
#include "report/report_sink.h"
#include "summary/summary_table.h"

struct BatchRun {
  const BatchOptions& options;
  const char* program;
  ProgressLine progress;
  McHooks hooks;
  bool any_failed = false;
  // Open from the start of the run until the first failure, which is said
  // once; no report is written after it.
  bool with_report = false;
  ReportSink report{};
  // Standard output or the temporary file took no more: stop at once.
  bool output_failed = false;
  // Rows of a kind that adjusts p; open before the first file is run.
  RowSpool pending{};
  // With --summary: every unit with a row, as its row is written.
  std::optional<SummaryTable> summary{};
  ResultsPage* page = nullptr;  // with --html: each unit goes to it as its row is written
};

// WHAT (a file name) is escaped as in the rows: a name cannot forge a line.
void report_failure(const char* program, const std::string& what, const std::string& reason);
// "PROGRAM: report FILE: the system's reason".
void report_sink_failure(const BatchRun& run, const SinkResult& result);

// The temporary file the rows wait in, for a kind that adjusts p. False
// after telling why it could not be made.
bool open_pending_rows(BatchRun& run);

// Every unit of one input file (the number-th of the run). A file that
// cannot be read further loses the rows it had set aside.
void run_input_file(BatchRun& run, const InputKind& kind, const char* path, size_t number);

// The rows set aside, each with its p_lead and q_bh (and to the page);
// false after telling what failed (standard output, the temporary file,
// memory).
bool write_pending_rows(BatchRun& run);
