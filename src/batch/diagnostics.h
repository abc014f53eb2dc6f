// Where the batch front end's messages go: one line "PROGRAM: WHAT: REASON"
// each, on standard error unless the sink says otherwise. WHAT (a file or
// unit name) is escaped as in the rows, so that a name cannot forge a line;
// REASON keeps its backslashes (its pieces may be escaped already) but no
// control byte or ill-formed UTF-8 reaches the sink raw (escape_controls).
// The front end makes the sink and hands it to every step that has
// something to say (a kind's run-wide settings, its sources, the driver,
// the merge); none of them prints by itself.
#pragma once

#include <functional>
#include <string>
#include <string_view>

struct Diagnostics {
  const char* program = "hwmc";
  // Takes each whole line, line feed included; null: standard error.
  std::function<void(const std::string& line)> write;
};

void report_failure(const Diagnostics& diagnostics, std::string_view what, std::string_view reason);
