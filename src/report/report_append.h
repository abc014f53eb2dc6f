// Appends bytes to the end of a file in one go: the file is opened as a
// report sink (report_sink.h), takes the bytes whole or not at all, and is
// closed again. Write and close errors are results, so nothing claims
// success that the file did not take.
#pragma once

#include <ctime>
#include <string>

#include "report/report_sink.h"
#include "report/unit_result.h"

AppendResult append_to_file(const char* path, const std::string& bytes);

// One unit's report, dated when, appended to path in a single write.
AppendResult append_report(const char* path, const char* input_name, const UnitResult& results,
                           const std::tm& when);

// The local time now, for dating a report.
std::tm local_now();
