#include "batch/tsv_line.h"

#include <charconv>
#include <cmath>

#include "fileio/text_escape.h"

namespace {

// to_chars never consults the locale; "general" with a precision is %g.
template <class T>
std::string general(T value, int precision) {
  if (std::isnan(value)) return "nan";
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string format_float(float value) { return general(value, 9); }
std::string format_double(double value) { return general(value, 17); }

void add_cell(TsvLine& line, std::string_view cell) {
  if (!line.empty) line.text += '\t';
  line.text.append(cell);
  line.empty = false;
}

void add_text_cell(TsvLine& line, std::string_view text) { add_cell(line, escape_text(text)); }

void add_float_cell(TsvLine& line, float value) { add_cell(line, format_float(value)); }
void add_double_cell(TsvLine& line, double value) { add_cell(line, format_double(value)); }
void add_int_cell(TsvLine& line, int64_t value) { add_cell(line, std::to_string(value)); }
void add_na_cell(TsvLine& line) { add_cell(line, "NA"); }

std::string finish_line(TsvLine& line) {
  std::string out = std::move(line.text);
  out += '\n';
  line = TsvLine{};
  return out;
}
