// Any bytes as up to four row tables, split at each "\n=\n", read by the
// merge as parts of one run (units keyed by file and locus, p_lead and q_bh
// where the header has them, q_bh only beside p_lead). A scan that passes
// must be a true merge: the tables share one header of distinct names, no
// unit of one table is in another, the seeds agree; the merged table is
// that header and every row in order, each cell but q_bh byte for byte, each
// q_bh NA exactly where p_lead is and else a number from 0 to 1. A broken
// invariant traps, so the fuzzer keeps the input as a crash.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "merge/row_merge.h"
#include "tsv/tsv_read.h"

namespace {

void require(bool condition) {
  if (!condition) __builtin_trap();
}

const std::vector<std::string> kEveryRow = {"file", "x2"};

std::string keep_q(double q) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", q);
  return text;
}

// The folder of this process's tables, made once.
const std::string& table_folder() {
  static const std::string folder = [] {
    char name[] = "/tmp/hwmc-merge-fuzz-XXXXXX";
    require(::mkdtemp(name) != nullptr);
    return std::string(name);
  }();
  return folder;
}

std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end == std::string_view::npos ? text.size() : end + 1;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> tables;
  for (size_t start = 0; tables.size() < 4;) {
    const size_t cut = input.find("\n=\n", start);
    if (cut == std::string_view::npos) {
      tables.emplace_back(input.substr(start));
      break;
    }
    tables.emplace_back(input.substr(start, cut + 1 - start));
    start = cut + 3;
  }
  std::vector<std::string> paths;
  for (size_t t = 0; t < tables.size(); ++t) {
    paths.push_back(table_folder() + "/t" + std::to_string(t) + ".tsv");
    std::FILE* f = std::fopen(paths.back().c_str(), "wb");
    require(f != nullptr);
    require(std::fwrite(tables[t].data(), 1, tables[t].size(), f) == tables[t].size());
    require(std::fclose(f) == 0);
  }
  const UnitKeyColumns key = [](std::string_view) {
    return std::vector<std::string>{"file", "locus"};
  };
  const RowScan scan = scan_row_tables(paths, kEveryRow, {}, {}, key);
  if (scan.failure.failed) {
    require(!scan.failure.reason.empty() && !scan.failure.output);
    return 0;
  }
  // What passed, checked apart from the scan.
  const std::string header = scan.header.substr(0, scan.header.size() - 1);
  const std::vector<std::string_view> names = split_cells(header);
  require(std::set<std::string_view>(names.begin(), names.end()).size() == names.size());
  const std::optional<size_t> file = find_column(names, "file");
  const std::optional<size_t> locus = find_column(names, "locus");
  const std::optional<size_t> lead = find_column(names, "p_lead");
  const std::optional<size_t> seed_column = find_column(names, "seed");
  require(file && find_column(names, "x2"));
  // q_bh is adjusted wherever the header has it, and then p_lead is there
  // too; p_lead alone (a table of chosen columns) is copied as it is.
  require(scan.q_column == find_column(names, "q_bh"));
  require(!scan.q_column || lead);
  std::vector<std::string_view> rows;
  std::set<std::pair<std::string_view, std::string_view>> units_before;
  for (size_t t = 0; t < tables.size(); ++t) {
    const std::vector<std::string_view> lines = lines_of(tables[t]);
    require(!lines.empty() && lines[0] == header && tables[t].back() == '\n');
    require(scan.rows[t] == lines.size() - 1);
    std::set<std::pair<std::string_view, std::string_view>> units;
    for (size_t i = 1; i < lines.size(); ++i) {
      require(count_cells(lines[i]) == names.size());
      rows.push_back(lines[i]);
      units.insert({cell_at(lines[i], *file), locus ? cell_at(lines[i], *locus) : ""});
    }
    for (const auto& unit : units) require(units_before.count(unit) == 0);
    units_before.insert(units.begin(), units.end());
  }
  if (seed_column) {
    // Tables of one seed each agree.
    std::set<std::string_view> single;
    for (size_t t = 0; t < tables.size(); ++t) {
      std::set<std::string_view> seeds;
      const std::vector<std::string_view> lines = lines_of(tables[t]);
      for (size_t i = 1; i < lines.size(); ++i) {
        const std::string_view s = cell_at(lines[i], *seed_column);
        if (!s.empty()) seeds.insert(s);
      }
      if (seeds.size() == 1) single.insert(*seeds.begin());
    }
    require(single.size() <= 1);
  }
  char* merged = nullptr;
  size_t merged_size = 0;
  std::FILE* out = ::open_memstream(&merged, &merged_size);
  require(out != nullptr);
  const MergeFailure written = write_merged_rows(scan, paths, out, keep_q);
  std::fclose(out);
  const std::string text(merged, merged_size);
  std::free(merged);
  require(!written.failed);
  const std::vector<std::string_view> lines = lines_of(text);
  require(lines.size() == rows.size() + 1 && lines[0] == header);
  for (size_t i = 0; i < rows.size(); ++i) {
    const std::string_view line = lines[i + 1];
    require(count_cells(line) == names.size());
    for (size_t c = 0; c < names.size(); ++c) {
      if (scan.q_column && c == *scan.q_column) continue;
      require(cell_at(line, c) == cell_at(rows[i], c));
    }
    if (!scan.q_column) continue;
    const std::string_view q = cell_at(line, *scan.q_column);
    if (cell_at(rows[i], *lead) == "NA") {
      require(q == "NA");
    } else {
      const double value = std::strtod(std::string(q).c_str(), nullptr);
      require(value >= 0 && value <= 1);
    }
  }
  return 0;
}
