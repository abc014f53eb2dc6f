// The batch front end: every file through the reader of its kind, the
// statistics and the experiment, one row each on standard output, failures
// on standard error, reports, summary and page written when asked. Never
// touches the terminal's modes and never waits for a key.
//
// Returns the exit status: 0, or 1 when any file failed (2 when a kind's
// settings are a usage error). Ctrl-C ends the process with status 130 at
// once, except while a row or a report is being written: that is finished
// first, so what was written stays whole.
#pragma once

#include <vector>

#include "cli/command_line.h"

int run_batch(const BatchOptions& options, const std::vector<char*>& files, const char* program);
