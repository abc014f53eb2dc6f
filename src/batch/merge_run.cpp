#include "batch/merge_run.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

#include "batch/row_columns.h"
#include "batch/tsv_line.h"
#include "batch/unit_driver.h"
#include "batch/write_guard.h"
#include "fileio/output_stream.h"
#include "merge/row_merge.h"

namespace {

int report(const char* program, const MergeFailure& failure) {
  // A reader gone ends quietly, as with the rows of a run.
  if (failure.output && failure.error == EPIPE) return kReaderGoneStatus;
  report_failure(program, failure.output ? "standard output" : failure.file, failure.reason);
  return 1;
}

}  // namespace

int run_merge(const std::vector<char*>& tables, const char* program) {
  if (!standard_streams_open()) {
    report_failure(program, "standard output", "not open");
    return 1;
  }
  std::signal(SIGPIPE, SIG_IGN);  // a reader gone is a write result
  const std::vector<std::string> paths(tables.begin(), tables.end());
  const RowScan scan = scan_row_tables(paths, columns_of_every_row());
  if (scan.failure.failed) return report(program, scan.failure);
  // q_bh in the row writer's format, so that it reads as a single run's.
  const MergeFailure written = write_merged_rows(scan, paths, stdout, format_double);
  if (written.failed) return report(program, written);
  // A summary (--summary) of the merged rows would be recomputed here, from
  // the merged table's p_lead, h_obs and he.
  return 0;
}
