#include "tsv/tsv_line.h"

#include "fileio/text_escape.h"
#include "format/number_format.h"

std::string format_float(float value) { return format_shortest(value); }
std::string format_double(double value) { return format_shortest(value); }

std::string& open_cell(TsvLine& line) {
  if (!line.empty) line.text += '\t';
  line.empty = false;
  return line.text;
}

void add_cell(TsvLine& line, std::string_view cell) { open_cell(line).append(cell); }

void add_text_cell(TsvLine& line, std::string_view text) {
  if (may_need_escape(text)) {
    add_cell(line, escape_text(text));
  } else {
    add_cell(line, text);  // without making the escaped copy
  }
}

void add_float_cell(TsvLine& line, float value) { append_shortest(open_cell(line), value); }
void add_double_cell(TsvLine& line, double value) { append_shortest(open_cell(line), value); }

void add_double_or_na_cell(TsvLine& line, double value) {
  append_shortest_or_na(open_cell(line), value);
}
void add_int_cell(TsvLine& line, int64_t value) { append_signed(open_cell(line), value); }
void add_na_cell(TsvLine& line) { add_cell(line, kNaText); }

std::string finish_line(TsvLine& line) {
  std::string out = std::move(line.text);
  out += '\n';
  line = TsvLine{};
  return out;
}
