// The front end of --merge: the row tables merged to standard output
// (merge/row_merge.h), a failure as "PROGRAM: FILE: reason" on standard
// error, the file name escaped. Returns the exit status: 0, 1 after a
// failure, kReaderGoneStatus (quietly) when standard output's reader went.
// With --summary the summary recomputed from the merged rows
// (merge/row_summary.h) is written after the rows; with --html and
// --figures the page of the merged rows (batch/merged_page.h), with the
// summary's bars where there is one, after that.
#pragma once

#include <string>
#include <vector>

#include "cli/command_line.h"

int run_merge(const std::vector<char*>& tables, const BatchOptions& options, const char* program);
