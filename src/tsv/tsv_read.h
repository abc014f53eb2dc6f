// Rows of tab-separated values read back, as tsv_line.h writes them: the
// cells of a line (without its line feed), a column found by its header
// name, a cell as a number. Text cells stay escaped; unescape_text
// (fileio/text_escape.h) gives the text back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

// The cells of a line; an empty line is one empty cell, a tab at the end
// ends in an empty cell.
std::vector<std::string_view> split_cells(std::string_view line);

size_t count_cells(std::string_view line);

// Where cell `index` (below count_cells) starts and ends (before its tab),
// and the cell itself.
std::pair<size_t, size_t> cell_span(std::string_view line, size_t index);
std::string_view cell_at(std::string_view line, size_t index);

// The cells of a line (no line feed) at `picks`, in that order, joined by
// tabs, onto `out`; every pick below count_cells.
void append_cells_at(std::string& out, std::string_view line, std::span<const size_t> picks);

// The column of `name` among a header's cells, if it has one.
std::optional<size_t> find_column(std::span<const std::string_view> names, std::string_view name);

// A cell that is a number as a whole (from_chars' reading); nothing otherwise.
std::optional<double> number_cell(std::string_view cell);
std::optional<int64_t> integer_cell(std::string_view cell);

// A figure's cell: NA is NaN, else number_cell.
std::optional<double> figure_cell(std::string_view cell);
