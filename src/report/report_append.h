// Appends bytes to the end of a file, creating it (mode 0666 less the umask)
// when it is missing. An existing file must be open for reading and writing,
// as the report has always required; its contents are never truncated.
// Write and close errors are results, so nothing claims success that the
// file did not take.
#pragma once

#include <ctime>
#include <string>

#include "report/unit_result.h"

enum class AppendResult { kDone, kOpenFailed, kWriteFailed };

AppendResult append_to_file(const char* path, const std::string& bytes);

// One unit's report, dated when, appended to path in a single write.
AppendResult append_report(const char* path, const char* input_name, const UnitResult& results,
                           const std::tm& when);

// The local time now, for dating a report.
std::tm local_now();
