// The one driver of batch units, whatever their kind: pulls the blocks of
// an input file, analyses their units (the exact tests side by side where
// there are enough units), makes each finished unit's figures once and
// hands them to the outputs: its row (where the kind adjusts p-values kept
// until q_bh is known, in a temporary file, row_spool.h), the summary, the
// results page and the report. Failures go to the run's diagnostics; a file
// whose units could not be had for want of memory is "FILE: out of memory",
// and the other files go on.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "batch/annotate_output.h"
#include "batch/diagnostics.h"
#include "batch/hwe_outputs.h"
#include "batch/input_kind.h"
#include "batch/progress_line.h"
#include "batch/results_page.h"
#include "batch/row_spool.h"
#include "cli/command_line.h"
#include "figures/row_figures.h"
#include "montecarlo/experiment.h"
#include "report/report_sink.h"
#include "summary/summary_table.h"

// How the units of a run are analysed.
struct UnitAnalysis {
  const BatchOptions& options;
  LeadTest lead = LeadTest::kChiSquare;
  ProgressLine progress{};
  UnitProgress* units_progress = nullptr;  // the line of units done (progress_line.h)
  McHooks hooks{};  // the experiment's stop and progress
  HweRule hwe{};    // --hwe: each unit's verdict
  bool keep_u_laws = false;  // for the summary's global U tests
};

// The reports (--report): one sink for the whole run, so that a FIFO gets
// every report in order.
struct ReportOutput {
  std::string path;
  // Open from the start of the run until the first failure, which is said
  // once; no report is written after it.
  bool open = false;
  ReportSink sink{};
};

// Where the finished units of a run go, one field per output.
struct RunOutputs {
  // Rows of a kind that adjusts p; open before the first file is run.
  RowSpool pending{};
  // With --summary: every unit with a row, as its row is made.
  std::optional<SummaryTable> summary{};
  ResultsPage* page = nullptr;  // with --html: each unit goes to it as its row is written
  ReportOutput report{};
  FailedList failed{};  // --failed: open from the start of the run
  AnnotateOutput annotate{};  // --annotate: each block's records as its units are written
  // --columns: the full row's cells written, in order (chosen_columns);
  // empty: every cell.
  std::vector<size_t> columns{};
};

struct BatchRun {
  const InputKind& kind;
  UnitOpener open;  // the kind's files, under the run's settings
  Diagnostics diagnostics;
  UnitAnalysis analysis;
  RunOutputs outputs{};
  bool any_failed = false;  // a file or a unit failed: the run's status is 1
  // Standard output or the temporary file took no more: stop at once.
  bool output_failed = false;
  // The rows go to standard output (not with --annotate -, which writes
  // the copy there).
  bool rows_shown = true;
  // A file is one unit: the progress line counts the run's files, not each
  // file's units.
  bool progress_over_files = false;
};

// "PROGRAM: report FILE: the system's reason".
void report_sink_failure(const BatchRun& run, const SinkResult& result);

// The temporary file the rows wait in, for a kind that adjusts p. False
// after telling why it could not be made.
bool open_pending_rows(BatchRun& run);

// Every unit of one input file (the number-th of the run). A file that
// cannot be read further loses the rows it had set aside.
void run_input_file(BatchRun& run, const char* path, size_t number);

// The rows set aside, each with its p_lead and q_bh (and to the page);
// false after telling what failed (standard output, the temporary file,
// memory).
bool write_pending_rows(BatchRun& run);
