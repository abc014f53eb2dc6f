// Appends the report of one analysed input file to the output file, creating
// it when it is missing.
//
// Failure to open the file shows "failure at opening" with the path at the
// cursor and ends the process at once (code 1, no closing lines); a write or
// close error shows "failure at writing" with the path on the error line and
// ends through exit_program(1). Reports already in the file stay as they were.
#pragma once

#include "report/unit_result.h"

void write_report(const char* input_name, const UnitResult& r, const char* output_path);
