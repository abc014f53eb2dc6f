// The front end of --merge: the row tables merged to standard output
// (merge/row_merge.h), a failure as "PROGRAM: FILE: reason" on standard
// error, the file name escaped. Returns the exit status: 0, 1 after a
// failure, kReaderGoneStatus (quietly) when standard output's reader went.
// With a summary_path (--summary) the summary recomputed from the merged
// rows (merge/row_summary.h) is written there after the rows.
#pragma once

#include <string>
#include <vector>

int run_merge(const std::vector<char*>& tables, const std::string& summary_path,
              const char* program);
