// Where reports go: opened once, appended to report by report, closed.
//
// A regular file (created, mode 0666 less the umask, when missing; an
// existing one must be open for reading and writing, as the report has always
// required) takes each report whole or not at all: the append happens under
// the file's lock (fileio/fd_io.h), and a report the file cannot take whole (a
// full disk) is taken back to the length before it, so neither a concurrent
// run's report nor a half report is left behind. Opening with trim_tail
// removes trailing Ctrl-Z marks under the same lock (output_trim.h).
//
// Any other file (a FIFO, a terminal, /dev/null) is a stream: opened for
// writing only, every report written to it in order, nothing trimmed or
// taken back. A directory does not open.
//
// Failures are results with the system's error number; nothing is shown.
#pragma once

#include <string_view>

#include "fileio/unique_fd.h"

enum class AppendResult { kDone, kOpenFailed, kWriteFailed };

struct SinkResult {
  AppendResult status = AppendResult::kDone;
  int error = 0;  // errno of a failure
};

struct ReportSink {
  UniqueFd file{-1};
  bool stream = false;
};

SinkResult open_report_sink(ReportSink& sink, const char* path, bool trim_tail);
SinkResult append_to_sink(ReportSink& sink, std::string_view bytes);
// A delayed write error (a full disk on a network file system, say) may
// only show at the close.
SinkResult close_report_sink(ReportSink& sink);
