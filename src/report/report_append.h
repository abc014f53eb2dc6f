// Appends bytes to the end of a file in one go: the file is opened as a
// report sink (report_sink.h), takes the bytes whole or not at all, and is
// closed again. Write and close errors are results, so nothing claims
// success that the file did not take.
#pragma once

#include <ctime>
#include <string>

#include "report/file_results.h"
#include "report/report_sink.h"

AppendResult append_to_file(const char* path, const std::string& bytes);

// One file's report, dated when, appended to path in a single write.
AppendResult append_report(const char* path, const FileResults& results, const std::tm& when);

// The local time now, for dating a report.
std::tm local_now();
