// The exact tests' figures as text: the report section that follows a file's
// report, and the cells of the exact group of a batch row. Pure functions;
// numbers are written in the C locale's form whatever the process's locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "exact/exact_tests.h"

// "enumeration" or "sampling".
const char* exact_method_name(ExactMethod method);

// The section with bare '\n' line ends (the report writer stores them as CR
// LF), starting with an empty line and ending with a line feed: the method,
// the number of tables (with the seed they were drawn from when sampled) and
// each test's P, with its 95% limits when sampled, then the sample's U.
// Numbers printed as "%-g".
std::string build_exact_report_text(const ExactResult& result, uint64_t seed);

// exact_method exact_tables p_prob p_prob_low p_prob_high p_prob_mid p_x2e
// ... p_excess_high u_score p_u_deficit ... p_u_excess_high
const std::vector<std::string>& exact_column_names();

inline constexpr const char kExactMethodColumn[] = "exact_method";
inline constexpr const char kExactTablesColumn[] = "exact_tables";
// The column of a test's p ("p_deficit"); its limits add _low and _high.
const char* exact_test_column(ExactTest test);

// The cell of one of those columns (an index into them): the method's name,
// the number of tables as an integer (drawn up to the stop when sampled),
// every probability as the shortest decimal that reads back to the same
// double; p_prob_mid is NA when the tables were sampled.
std::string format_exact_cell(const ExactResult& result, size_t column);
// The same cell appended to `out`.
void append_exact_cell(std::string& out, const ExactResult& result, size_t column);

// The cells of all those columns.
std::vector<std::string> format_exact_cells(const ExactResult& result);
