#include "merge/row_merge.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <optional>
#include <string_view>
#include <utility>

#include "figures/unit_statistics.h"
#include "fileio/text_escape.h"
#include "format/number_format.h"
#include "stats/multiple_testing.h"
#include "tsv/tsv_read.h"

namespace {

MergeFailure table_failure(const std::string& file, std::string reason) {
  return MergeFailure{true, false, 0, file, std::move(reason)};
}

MergeFailure output_failure() { return MergeFailure{true, true, errno, "", "write error"}; }

std::string line_reason(uint64_t line, std::string_view what) {
  return "line " + std::to_string(line) + ": " + std::string(what);
}

std::string_view without_line_feed(std::string_view line) {
  return line.substr(0, line.size() - 1);
}

// NA is NaN; anything but a number from 0 to 1 has no value.
std::optional<double> parse_lead(std::string_view cell) {
  const std::optional<double> value = figure_cell(cell);
  if (!value || std::isnan(*value)) return cell == kNaText ? value : std::nullopt;
  if (std::signbit(*value) || !(*value <= 1)) return std::nullopt;
  return value;
}

// The next line of a table, which must end in a line feed; nothing at the
// end of the table or on a failure, which is then set.
std::optional<std::string_view> next_line(TableFile& table, const std::string& path,
                                          MergeFailure& failure) {
  std::string_view line;
  std::string error;
  switch (read_table_line(table, line, error)) {
    case LineStatus::kEnd:
      return std::nullopt;
    case LineStatus::kError:
      failure = table_failure(path, error);
      return std::nullopt;
    case LineStatus::kLine:
      break;
  }
  if (line.back() != '\n') {
    failure = table_failure(path, line_reason(table.line_number, "no line feed at the end"));
    return std::nullopt;
  }
  return line;
}

// The next row of a table into `row` (line feed dropped); false at the end
// or on a failure, which is then set.
bool next_row(TableFile& table, const std::string& path, size_t cells, std::string_view& row,
              MergeFailure& failure) {
  const std::optional<std::string_view> line = next_line(table, path, failure);
  if (!line) return false;
  row = without_line_feed(*line);
  const size_t found = count_cells(row);
  if (found != cells) {
    failure = table_failure(
        path, line_reason(table.line_number, std::to_string(found) + " cells, the header has " +
                                                 std::to_string(cells)));
    return false;
  }
  return true;
}

// Opens a table and reads its header line (line feed included).
bool open_with_header(const std::string& path, TableFile& table, std::string& header,
                      MergeFailure& failure) {
  std::string reason = open_table_file(path, table);
  if (!reason.empty()) {
    failure = table_failure(path, std::move(reason));
    return false;
  }
  const std::optional<std::string_view> line = next_line(table, path, failure);
  if (!line) {
    if (!failure.failed) failure = table_failure(path, "empty file");
    return false;
  }
  header.assign(*line);
  return true;
}

struct Columns {
  size_t cells = 0;
  std::optional<size_t> lead;
  std::optional<size_t> q;
};

// The columns of a row table's header line, or why it is not one.
std::optional<Columns> row_table_columns(std::string_view header,
                                         std::span<const std::string> every_row,
                                         std::span<const std::vector<std::string>> chosen,
                                         std::string& reason) {
  const std::vector<std::string_view> names = split_cells(without_line_feed(header));
  const auto not_a_table = [&](std::string why) {
    reason = "not an hwmc row table (" + why + ")";
    return std::nullopt;
  };
  std::vector<std::string_view> sorted = names;
  std::sort(sorted.begin(), sorted.end());
  const auto twice = std::adjacent_find(sorted.begin(), sorted.end());
  if (twice != sorted.end()) return not_a_table("column '" + escape_text(*twice) + "' twice");
  const auto names_all = [&](std::span<const std::string> wanted) {
    return std::all_of(wanted.begin(), wanted.end(),
                       [&](const std::string& name) { return find_column(names, name).has_value(); });
  };
  if (!std::any_of(chosen.begin(), chosen.end(), names_all)) {
    for (const std::string& name : every_row)
      if (!find_column(names, name)) return not_a_table("no column '" + name + "'");
  }
  const Columns columns{names.size(), find_column(names, kLeadColumn),
                        find_column(names, kQColumn)};
  if (columns.q && !columns.lead) {
    reason = "q_bh cannot be adjusted again: no p_lead column beside it";
    return std::nullopt;
  }
  return columns;
}

}  // namespace

RowScan scan_row_tables(std::span<const std::string> paths,
                        std::span<const std::string> every_row, const RowVisitor& visitor,
                        std::span<const std::vector<std::string>> chosen) {
  RowScan scan;
  std::optional<size_t> lead_column;
  std::vector<double> leads;
  for (const std::string& path : paths) {
    TableFile table;
    std::string header;
    if (!open_with_header(path, table, header, scan.failure)) return scan;
    std::string reason;
    const std::optional<Columns> columns = row_table_columns(header, every_row, chosen, reason);
    if (!columns) {
      scan.failure = table_failure(path, std::move(reason));
      return scan;
    }
    if (scan.header.empty()) {
      scan.header = std::move(header);
      scan.cells = columns->cells;
      scan.q_column = columns->q;
      lead_column = columns->lead;
      if (visitor.header) {
        reason = visitor.header(without_line_feed(scan.header));
        if (!reason.empty()) {
          scan.failure = table_failure(path, std::move(reason));
          return scan;
        }
      }
    } else if (header != scan.header) {
      scan.failure =
          table_failure(path, "header differs from that of " + escape_text(paths.front()));
      return scan;
    }
    uint64_t rows = 0;
    std::string_view row;
    while (next_row(table, path, scan.cells, row, scan.failure)) {
      ++rows;
      // Tables joined by hand: without q_bh nothing else would notice.
      if (row == without_line_feed(scan.header)) {
        scan.failure = table_failure(path, line_reason(table.line_number, "the header again"));
        return scan;
      }
      if (visitor.row) {
        reason = visitor.row(row);
        if (!reason.empty()) {
          scan.failure = table_failure(path, line_reason(table.line_number, reason));
          return scan;
        }
      }
      if (!lead_column) continue;
      const std::string_view cell = cell_at(row, *lead_column);
      const std::optional<double> lead = parse_lead(cell);
      if (!lead) {
        scan.failure = table_failure(
            path,
            line_reason(table.line_number, "p_lead is not a p-value: '" + escape_text(cell) + "'"));
        return scan;
      }
      leads.push_back(*lead);
    }
    if (scan.failure.failed) return scan;
    scan.rows.push_back(rows);
    scan.stamps.push_back(table.stamp);
  }
  scan.q = adjust_benjamini_hochberg(leads);
  return scan;
}

MergeFailure write_merged_rows(const RowScan& scan, std::span<const std::string> paths,
                               std::FILE* out, std::string (*format_q)(double),
                               std::span<const size_t> picks) {
  MergeFailure failure;
  const auto write_all = [&](std::string_view bytes) {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size()) return true;
    failure = output_failure();
    return false;
  };
  // With picks, a line is gathered whole and its chosen cells written.
  std::string line, chosen;
  const auto write = [&](std::string_view bytes) {
    if (picks.empty()) return write_all(bytes);
    if (bytes != "\n") {
      line.append(bytes);
      return true;
    }
    chosen.clear();
    append_cells_at(chosen, line, picks);
    chosen += '\n';
    line.clear();
    return write_all(chosen);
  };
  if (!write(without_line_feed(scan.header)) || !write("\n")) return failure;
  size_t next_q = 0;
  for (size_t t = 0; t < paths.size(); ++t) {
    const std::string& path = paths[t];
    const MergeFailure changed = table_failure(path, "changed while being merged");
    TableFile table;
    std::string header;
    if (!open_with_header(path, table, header, failure)) return failure;
    if (!same_stamp(table.stamp, scan.stamps[t]) || header != scan.header) return changed;
    uint64_t rows = 0;
    std::string_view row;
    while (next_row(table, path, scan.cells, row, failure)) {
      if (++rows > scan.rows[t]) return changed;
      if (!scan.q_column) {
        if (!write(row) || !write("\n")) return failure;
        continue;
      }
      const auto [start, end] = cell_span(row, *scan.q_column);
      const double q = scan.q[next_q++];
      if (!write(row.substr(0, start)) || !write(std::isnan(q) ? kNaText : format_q(q)) ||
          !write(row.substr(end)) || !write("\n"))
        return failure;
    }
    if (failure.failed) return failure;
    if (rows != scan.rows[t]) return changed;
  }
  errno = 0;
  if (std::fflush(out) != 0) failure = output_failure();
  return failure;
}
