// One line of tab-separated values, built cell by cell. Numbers are written
// the same in every locale ('.' as the decimal point), each as the shortest
// decimal that reads back to the same value of its type: a float32 figure
// as a float32 (7.815, not 7.81500006), a double as a double.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct TsvLine {
  std::string text;
  bool empty = true;
};

void add_cell(TsvLine& line, std::string_view cell);
// Starts a cell and gives the line's text for the caller to append the
// cell's text to, where making the cell a string of its own would cost more
// than writing it in place.
std::string& open_cell(TsvLine& line);
// A file name or label, escaped (text_escape.h) so that it cannot break the
// row.
void add_text_cell(TsvLine& line, std::string_view text);
void add_float_cell(TsvLine& line, float value);
void add_double_cell(TsvLine& line, double value);
void add_int_cell(TsvLine& line, int64_t value);
// NaN (a figure without a value) as NA.
void add_double_or_na_cell(TsvLine& line, double value);
void add_na_cell(TsvLine& line);
// Ends the line with a line feed and gives its text.
std::string finish_line(TsvLine& line);

std::string format_float(float value);
std::string format_double(double value);
