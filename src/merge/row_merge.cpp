#include "merge/row_merge.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>

#include "exact/rng64.h"
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

// Where a table's units are named: its key columns (names and cells) and
// its seed column.
struct UnitColumns {
  std::vector<std::string> names;
  std::vector<size_t> cells;
  std::optional<size_t> seed;
};

UnitColumns unit_columns(std::string_view header, const UnitKeyColumns& unit_key) {
  UnitColumns u;
  const std::vector<std::string_view> names = split_cells(header);
  // In the header's order, as the rows show them.
  if (unit_key) {
    const std::vector<std::string> key = unit_key(header);
    for (size_t cell = 0; cell < names.size(); ++cell) {
      if (std::find(key.begin(), key.end(), names[cell]) == key.end()) continue;
      u.names.emplace_back(names[cell]);
      u.cells.push_back(cell);
    }
  }
  u.seed = find_column(names, kSeedColumn);
  return u;
}

uint64_t key_hash(std::string_view row, const UnitColumns& u) {
  uint64_t h = 0;
  for (size_t c : u.cells) {
    const std::string_view cell = cell_at(row, c);
    h = splitmix64_mix(h + kSplitmix64Gamma + std::hash<std::string_view>{}(cell)) + cell.size();
  }
  return h;
}

// The unit as a message names it: "chrom=1 pos=5 ...", cells escaped.
std::string key_text(std::string_view row, const UnitColumns& u) {
  std::string text;
  for (size_t i = 0; i < u.cells.size(); ++i) {
    if (i > 0) text += ' ';
    text += u.names[i] + "=" + escape_text(cell_at(row, u.cells[i]));
  }
  return text;
}

// One row's unit: its key's hash and its place among all rows.
struct UnitMark {
  uint64_t hash = 0;
  uint64_t row = 0;
  auto operator<=>(const UnitMark&) const = default;
};

// The seed a table's rows carry: empty while none has one.
struct TableSeed {
  std::string seed;
  bool several = false;
};

void note_seed(TableSeed& t, std::string_view cell) {
  if (cell.empty() || t.several) return;
  if (t.seed.empty()) {
    t.seed.assign(cell);
  } else if (t.seed != cell) {
    t.several = true;
  }
}

// Why table `t` cannot be a part of the run of the tables before it, by
// their seeds; empty when it can.
std::string seed_clash(std::span<const TableSeed> seeds, size_t t,
                       std::span<const std::string> paths) {
  if (seeds[t].seed.empty() || seeds[t].several) return "";
  for (size_t i = 0; i < t; ++i) {
    if (seeds[i].seed.empty() || seeds[i].several || seeds[i].seed == seeds[t].seed) continue;
    return "seeded with " + escape_text(seeds[t].seed) + ", '" + escape_text(paths[i]) +
           "' with " + escape_text(seeds[i].seed) +
           ": the parts of one run share its seed (give every part the same --seed)";
  }
  return "";
}

// The key of the row on a line of a table, read again; none if the table
// no longer has it.
std::optional<std::string> key_on_line(const std::string& path, uint64_t line,
                                       const UnitColumns& u) {
  TableFile table;
  if (!open_table_file(path, table).empty()) return std::nullopt;
  std::string_view text;
  std::string error;
  while (read_table_line(table, text, error) == LineStatus::kLine) {
    if (table.line_number == line) return key_text(without_line_feed(text), u);
  }
  return std::nullopt;
}

// A unit in two tables, as the scan's failure (at the later table); none
// when every unit is in one table. `marks` is sorted; `first_row` holds
// each table's first row among all rows, and one more entry: their count.
std::optional<MergeFailure> repeated_unit(std::span<const UnitMark> marks,
                                          std::span<const uint64_t> first_row,
                                          std::span<const std::string> paths,
                                          const UnitColumns& u) {
  const auto table_of = [&](uint64_t row) {
    return static_cast<size_t>(std::upper_bound(first_row.begin(), first_row.end(), row) -
                               first_row.begin() - 1);
  };
  // Of each key, its first row and its first row in another table.
  std::vector<std::pair<uint64_t, uint64_t>> repeats;  // (later row, earlier row)
  for (size_t i = 0; i < marks.size();) {
    size_t end = i + 1;
    while (end < marks.size() && marks[end].hash == marks[i].hash) ++end;
    const size_t first_table = table_of(marks[i].row);
    for (size_t j = i + 1; j < end; ++j) {
      if (table_of(marks[j].row) == first_table) continue;
      repeats.emplace_back(marks[j].row, marks[i].row);
      break;
    }
    i = end;
  }
  std::sort(repeats.begin(), repeats.end());
  const auto line_of = [&](uint64_t row, size_t t) { return row - first_row[t] + 2; };
  for (const auto& [later, earlier] : repeats) {
    const size_t a = table_of(earlier), b = table_of(later);
    const std::optional<std::string> key = key_on_line(paths[b], line_of(later, b), u);
    if (!key || key != key_on_line(paths[a], line_of(earlier, a), u)) continue;  // hashes alike
    // A merged table beside its parts holds every unit of some other table.
    uint64_t in_a = 0, in_b = 0, shared = 0;
    for (size_t i = 0; i < marks.size();) {
      bool has_a = false, has_b = false;
      size_t end = i;
      for (; end < marks.size() && marks[end].hash == marks[i].hash; ++end) {
        const size_t t = table_of(marks[end].row);
        has_a = has_a || t == a;
        has_b = has_b || t == b;
      }
      in_a += has_a;
      in_b += has_b;
      shared += has_a && has_b;
      i = end;
    }
    std::string reason = line_reason(line_of(later, b), "the unit " + *key + " is also in '" +
                                                            escape_text(paths[a]) + "' (line " +
                                                            std::to_string(line_of(earlier, a)) +
                                                            "): a unit may be in one part only");
    if (shared == in_a && shared == in_b) {
      reason += "; the two tables hold the same units (one part given twice?)";
    } else if (shared == in_a || shared == in_b) {
      const bool a_holds = shared == in_b;
      reason += "; '" + escape_text(paths[a_holds ? a : b]) + "' holds every unit of '" +
                escape_text(paths[a_holds ? b : a]) +
                "' (a merged table given beside one of its parts?)";
    }
    return table_failure(paths[b], std::move(reason));
  }
  return std::nullopt;
}

}  // namespace

RowScan scan_row_tables(std::span<const std::string> paths,
                        std::span<const std::string> every_row, const RowVisitor& visitor,
                        std::span<const std::vector<std::string>> chosen,
                        const UnitKeyColumns& unit_key) {
  RowScan scan;
  std::optional<size_t> lead_column;
  std::vector<double> leads;
  UnitColumns units;
  std::vector<UnitMark> marks;
  std::vector<uint64_t> first_row;
  std::vector<TableSeed> seeds;
  uint64_t all_rows = 0;
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
      units = unit_columns(without_line_feed(scan.header), unit_key);
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
    first_row.push_back(all_rows);
    TableSeed& seed = seeds.emplace_back();
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
      if (!units.cells.empty()) marks.push_back({key_hash(row, units), all_rows + rows - 1});
      if (units.seed) note_seed(seed, cell_at(row, *units.seed));
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
    std::string clash = seed_clash(seeds, seeds.size() - 1, paths);
    if (!clash.empty()) {
      scan.failure = table_failure(path, std::move(clash));
      return scan;
    }
    all_rows += rows;
    scan.rows.push_back(rows);
    scan.stamps.push_back(table.stamp);
  }
  first_row.push_back(all_rows);
  std::sort(marks.begin(), marks.end());
  if (std::optional<MergeFailure> repeat = repeated_unit(marks, first_row, paths, units)) {
    scan.failure = std::move(*repeat);
    return scan;
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
