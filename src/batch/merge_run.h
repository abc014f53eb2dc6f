// The front end of --merge: the row tables merged to standard output
// (merge/row_merge.h), a failure as "PROGRAM: FILE: reason" on standard
// error, the file name escaped. Returns the exit status: 0, 1 after a
// failure, kReaderGoneStatus (quietly) when standard output's reader went.
#pragma once

#include <vector>

int run_merge(const std::vector<char*>& tables, const char* program);
