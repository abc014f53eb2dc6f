#include "merge/row_summary.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "fileio/text_escape.h"
#include "merge/adjusted_columns.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

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

std::optional<size_t> column_of(const std::vector<std::string_view>& names, std::string_view name) {
  const auto found = std::find(names.begin(), names.end(), name);
  if (found == names.end()) return std::nullopt;
  return static_cast<size_t>(found - names.begin());
}

// NA (or the empty cell of an untested unit) is NaN; nothing when the cell
// is no number.
std::optional<double> parse_figure(std::string_view cell) {
  if (cell == "NA" || cell.empty()) return kNaN;
  double value = 0;
  const auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
  if (error != std::errc{} || end != cell.data() + cell.size()) return std::nullopt;
  return value;
}

std::string not_a_number(std::string_view column, std::string_view cell) {
  return std::string(column) + " is not a number: '" + escape_text(cell) + "'";
}

}  // namespace

std::optional<RowSummaryColumns> row_summary_columns(std::string_view header, SummaryTable& table,
                                                     std::string& reason) {
  const std::vector<std::string_view> names = split_cells(header);
  const auto need = [&](std::string_view name) -> std::optional<size_t> {
    const std::optional<size_t> column = column_of(names, name);
    if (!column && reason.empty())
      reason = "no column '" + std::string(name) + "', which the summary needs";
    return column;
  };
  RowSummaryColumns c;
  c.cells = names.size();
  const bool vcf = column_of(names, "chrom").has_value();
  const bool genepop = !vcf && column_of(names, "population") && column_of(names, "locus");
  SummaryLayout layout;
  layout.loci = genepop;
  layout.populations = genepop || vcf;
  layout.combine_p = !vcf;
  c.exact_method = column_of(names, "exact_method");
  layout.directional = c.exact_method.has_value();
  const std::optional<size_t> file = need("file");
  if (layout.populations) c.population = need("population");
  if (layout.loci) c.locus = need("locus");
  std::optional<size_t> lead = column_of(names, kLeadColumn);
  if (!lead && (c.exact_method || column_of(names, "mc_runs"))) {
    if (reason.empty())
      reason = std::string("no column '") + kLeadColumn + "', which the summary needs";
  } else if (!lead) {
    lead = need("p_x2");  // a plain run's leading p
  }
  const std::optional<size_t> h_obs = need("h_obs");
  const std::optional<size_t> he = need("he");
  const std::optional<size_t> n = need("n");
  std::optional<size_t> tables, deficit, excess;
  if (c.exact_method) {
    tables = need("exact_tables");
    deficit = need("p_deficit");
    excess = need("p_excess");
  }
  if (!reason.empty()) return std::nullopt;
  c.file = *file;
  c.lead = *lead;
  c.h_obs = *h_obs;
  c.he = *he;
  c.n = *n;
  if (c.exact_method) {
    c.exact_tables = *tables;
    c.deficit = *deficit;
    c.excess = *excess;
  }
  table.layout = layout;
  return c;
}

std::string add_row_to_summary(SummaryTable& table, const RowSummaryColumns& columns,
                               std::string_view row) {
  const std::vector<std::string_view> cells = split_cells(row);
  if (cells.size() != columns.cells) return "not as many cells as the header";
  SummaryUnit unit{cells[columns.file], {}, {}, kNaN, kNaN, kNaN, kNaN, kNaN, 0};
  if (columns.population) unit.population = cells[*columns.population];
  if (columns.locus) unit.locus = cells[*columns.locus];
  const struct {
    size_t column;
    const char* name;
    double* value;
  } figures[] = {{columns.lead, "the leading p", &unit.p_lead},
                 {columns.h_obs, "h_obs", &unit.h_obs},
                 {columns.he, "he", &unit.he}};
  for (const auto& f : figures) {
    const std::optional<double> value = parse_figure(cells[f.column]);
    if (!value) return not_a_number(f.name, cells[f.column]);
    *f.value = *value;
  }
  const std::string_view n = cells[columns.n];
  const auto [n_end, n_error] = std::from_chars(n.data(), n.data() + n.size(), unit.n);
  if (n_error != std::errc{} || n_end != n.data() + n.size() || unit.n < 0)
    return not_a_number("n", n);
  if (columns.exact_method) {
    const std::string_view method = cells[*columns.exact_method];
    const bool sampled = method == "sampling";
    if (!sampled && method != "enumeration" && method != "NA")
      return "exact_method is neither sampling nor enumeration: '" + escape_text(method) + "'";
    const std::optional<double> tables = parse_figure(cells[columns.exact_tables]);
    if (!tables) return not_a_number("exact_tables", cells[columns.exact_tables]);
    const auto valid = [&](size_t column, double& p) -> std::string {
      const std::optional<double> point = parse_figure(cells[column]);
      if (!point)
        return not_a_number(column == columns.deficit ? "p_deficit" : "p_excess", cells[column]);
      p = *point;
      // b hits of the tables: (b + 1)/(tables + 1), never 0.
      if (sampled && !std::isnan(p)) p = (std::round(p * *tables) + 1.0) / (*tables + 1.0);
      return {};
    };
    if (std::string r = valid(columns.deficit, unit.p_deficit); !r.empty()) return r;
    if (std::string r = valid(columns.excess, unit.p_excess); !r.empty()) return r;
  }
  add_summary_unit(table, unit);
  return {};
}
