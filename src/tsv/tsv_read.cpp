#include "tsv/tsv_read.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "format/number_format.h"

std::vector<std::string_view> split_cells(std::string_view line) {
  std::vector<std::string_view> cells;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) break;
    cells.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  cells.push_back(line.substr(start));
  return cells;
}

size_t count_cells(std::string_view line) {
  return 1 + static_cast<size_t>(std::count(line.begin(), line.end(), '\t'));
}

std::pair<size_t, size_t> cell_span(std::string_view line, size_t index) {
  size_t start = 0;
  for (size_t i = 0; i < index; ++i) start = line.find('\t', start) + 1;
  size_t end = line.find('\t', start);
  if (end == std::string_view::npos) end = line.size();
  return {start, end};
}

std::string_view cell_at(std::string_view line, size_t index) {
  const auto [start, end] = cell_span(line, index);
  return line.substr(start, end - start);
}

std::optional<size_t> find_column(std::span<const std::string_view> names, std::string_view name) {
  const auto found = std::find(names.begin(), names.end(), name);
  if (found == names.end()) return std::nullopt;
  return static_cast<size_t>(found - names.begin());
}

namespace {

template <class Number>
std::optional<Number> whole_number(std::string_view cell) {
  Number value{};
  const char* end = cell.data() + cell.size();
  const auto [stop, error] = std::from_chars(cell.data(), end, value);
  if (error != std::errc{} || stop != end) return std::nullopt;
  return value;
}

}  // namespace

std::optional<double> number_cell(std::string_view cell) { return whole_number<double>(cell); }
std::optional<int64_t> integer_cell(std::string_view cell) { return whole_number<int64_t>(cell); }

std::optional<double> figure_cell(std::string_view cell) {
  if (cell == kNaText) return std::numeric_limits<double>::quiet_NaN();
  return number_cell(cell);
}

void append_cells_at(std::string& out, std::string_view line, std::span<const size_t> picks) {
  const std::vector<std::string_view> cells = split_cells(line);
  for (size_t i = 0; i < picks.size(); ++i) {
    if (i > 0) out += '\t';
    out.append(cells[picks[i]]);
  }
}
