// The front end of --merge: the row tables merged to standard output
// (merge/row_merge.h), a failure as "PROGRAM: FILE: reason" on standard
// error. Returns the exit status: 0, or 1 after a failure.
#pragma once

#include <vector>

int run_merge(const std::vector<char*>& tables, const char* program);
