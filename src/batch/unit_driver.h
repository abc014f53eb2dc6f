// The one driver of batch units, whatever their source: pulls the blocks of
// an input file, analyses their units (the exact tests side by side where
// there are enough units), writes each unit's row and report, and, where
// the kind of input adjusts p-values, keeps the rows until q_bh is known.
// Failures go to standard error as "PROGRAM: WHAT: REASON".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "batch/progress_line.h"
#include "batch/tsv_line.h"
#include "batch/unit_source.h"
#include "cli/command_line.h"
#include "montecarlo/experiment.h"
#include "report/report_sink.h"

// A row waiting for q_bh: its cells and what q_bh needs of it.
struct PendingRow {
  TsvLine line;
  double lead = 0;  // leading_p; NaN where there is none
};

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
  bool output_failed = false;  // standard output took no more: stop at once
  std::vector<PendingRow> pending{};
};

// WHAT (a file name) is escaped as in the rows: a name cannot forge a line.
void report_failure(const char* program, const std::string& what, const std::string& reason);
// "PROGRAM: report FILE: the system's reason".
void report_sink_failure(const BatchRun& run, const SinkResult& result);

// Every unit of one input file (the number-th of the run). A file that
// cannot be read further loses the rows it had set aside.
void run_input_file(BatchRun& run, const InputKind& kind, const char* path, size_t number);

// The rows set aside, each with its q_bh; false when standard output failed.
bool write_pending_rows(BatchRun& run);
