// The report of one input file as text, a pure function of the results and
// the local time it is dated with; the writer only appends what this builds.
//
// build_report_text gives the text with bare line feeds (its logical form);
// build_report_bytes gives the bytes the file receives, every line feed
// stored as 13, 10.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>

#include "report/unit_result.h"

// Bytes of the table header: three lines after an empty line, 219 in all.
constexpr size_t kReportHeaderLength = 219;
// The row buffer holds the header or one table row plus a zero byte.
constexpr size_t kReportRowBuffer = kReportHeaderLength + 1;

// "Fri Jan 02 03:04:05 2026\n": English names whatever the locale, the day
// as two digits, 25 characters.
std::string format_report_date(const std::tm& when);

// The table header, with "M-Carlo Probability" blanked unless with_mc.
std::string format_table_header(bool with_mc);

// One genotype row without its line feed: the fields at offsets 2, 12, 25,
// 41 (and 57 with the Monte Carlo column) of a row of spaces, a long field
// overwritten by the next, the text ending right after the last field.
// A null mc_probability leaves out the Monte Carlo column.
std::string format_table_row(char allele1, char allele2, int32_t count, float expected,
                             float cell_x2, const double* mc_probability);

// The report of a unit read from input_name (shown upper-cased), the exact
// tests' section after it when they ran.
std::string build_report_text(const char* input_name, const UnitResult& r, const std::tm& when);

// Every line feed becomes the pair 13, 10, as a text-mode file stores it.
std::string to_crlf(const std::string& text);

std::string build_report_bytes(const char* input_name, const UnitResult& r, const std::tm& when);
