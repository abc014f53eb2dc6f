#include "batch/merge_run.h"

#include <cstdio>
#include <string>

#include "batch/row_columns.h"
#include "batch/tsv_line.h"
#include "merge/row_merge.h"

namespace {

int report(const char* program, const MergeFailure& failure) {
  const std::string what = failure.output ? "standard output" : failure.file;
  std::fprintf(stderr, "%s: %s: %s\n", program, what.c_str(), failure.reason.c_str());
  return 1;
}

}  // namespace

int run_merge(const std::vector<char*>& tables, const char* program) {
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
