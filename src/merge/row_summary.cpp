#include "merge/row_summary.h"

#include <cmath>
#include <limits>

#include "exact/exact_report.h"
#include "figures/genotype_counts.h"
#include "fileio/text_escape.h"
#include "format/number_format.h"
#include "stats/multiple_testing.h"
#include "tsv/tsv_read.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// NA (or the empty cell of an untested unit) is NaN; nothing when the cell
// is no number.
std::optional<double> parse_figure(std::string_view cell) {
  if (cell.empty()) return kNaN;
  return figure_cell(cell);
}

std::string not_a_number(std::string_view column, std::string_view cell) {
  return std::string(column) + " is not a number: '" + escape_text(cell) + "'";
}

// The unit as the run kept it for the global U tests: its counts and, when
// enumerated, its law of U over the same `tables` tables. The reason when
// the cell is not what hwmc writes.
std::string read_u_unit(std::string_view cell, bool enumerated, double tables,
                        CountedGenotypes& counted, ExactResult& law) {
  std::string reason;
  std::optional<CountedGenotypes> read = parse_genotype_counts(unescape_text(cell), reason);
  if (!read || read->sample.k < 2)
    return std::string(kGenotypeCountsColumn) + " is not what hwmc writes there: '" +
           escape_text(cell) + "'" + (reason.empty() ? "" : " (" + reason + ")");
  counted = std::move(*read);
  if (!enumerated) return {};
  ExactOptions options;
  options.max_tables = tables >= 1 ? static_cast<uint64_t>(tables) : 1;
  options.keep_u_law = true;
  options.threads = 1;
  if (run_exact_tests(counted.sample, options, law) != ExactStatus::kOk ||
      law.method != ExactMethod::kEnumeration)
    return std::string(kExactTablesColumn) + " is not the number of tables of the unit's "
                                             "genotype_counts";
  return {};
}

}  // namespace

std::optional<RowSummaryColumns> row_summary_columns(std::string_view header,
                                                     const SummaryKind& kind, SummaryTable& table,
                                                     std::string& reason) {
  const std::vector<std::string_view> names = split_cells(header);
  const auto need = [&](std::string_view name) -> std::optional<size_t> {
    const std::optional<size_t> column = find_column(names, name);
    if (!column && reason.empty())
      reason = "no column '" + std::string(name) + "', which the summary needs";
    return column;
  };
  RowSummaryColumns c;
  c.cells = names.size();
  SummaryLayout layout = kind.layout;
  c.exact_method = find_column(names, kExactMethodColumn);
  layout.tests = c.exact_method ? kCombinedTestCount : 0;
  // Its columns, NA where the rows lack genotype_counts.
  layout.u_global = c.exact_method && layout.combine_p;
  c.genotype_counts = find_column(names, kGenotypeCountsColumn);
  c.seed = find_column(names, kSeedColumn);
  const std::optional<size_t> file = need(kind.file_column);
  if (layout.populations) c.population = need(kind.population_column);
  if (layout.loci) c.locus = need(kind.locus_column);
  std::optional<size_t> lead = find_column(names, kLeadColumn);
  if (!lead && (c.exact_method || find_column(names, kMcRunsColumn))) {
    if (reason.empty())
      reason = std::string("no column '") + kLeadColumn + "', which the summary needs";
  } else if (!lead) {
    lead = need(statistic_column(Statistic::kPX2));  // a plain run's leading p
  }
  const std::optional<size_t> h_obs = need(statistic_column(Statistic::kHObs));
  const std::optional<size_t> he = need(statistic_column(Statistic::kHe));
  const std::optional<size_t> n = need(kNColumn);
  std::optional<size_t> tables;
  std::array<std::optional<size_t>, kCombinedTestCount> tests;
  if (c.exact_method) {
    tables = need(kExactTablesColumn);
    for (size_t t = 0; t < kCombinedTestCount; ++t)
      tests[t] = need(exact_test_column(kCombinedTests[t].test));
  }
  if (!reason.empty()) return std::nullopt;
  c.file = *file;
  c.lead = *lead;
  c.h_obs = *h_obs;
  c.he = *he;
  c.n = *n;
  if (c.exact_method) {
    c.exact_tables = *tables;
    for (size_t t = 0; t < kCombinedTestCount; ++t) c.tests[t] = *tests[t];
  }
  c.hwe_fail = find_column(names, kHweFailColumn);
  layout.hwe = c.hwe_fail.has_value();
  table.layout = layout;
  return c;
}

std::string add_row_to_summary(SummaryTable& table, const RowSummaryColumns& columns,
                               std::string_view row) {
  const std::vector<std::string_view> cells = split_cells(row);
  if (cells.size() != columns.cells) return "not as many cells as the header";
  std::array<double, kCombinedTestCount> tests;
  tests.fill(kNaN);
  SummaryUnit unit{cells[columns.file], {}, {}, kNaN, {}, kNaN, kNaN, 0};
  CountedGenotypes counted;
  ExactResult law;
  if (columns.population) unit.population = cells[*columns.population];
  if (columns.locus) unit.locus = cells[*columns.locus];
  const struct {
    size_t column;
    const char* name;
    double* value;
  } figures[] = {{columns.lead, "the leading p", &unit.p_lead},
                 {columns.h_obs, statistic_column(Statistic::kHObs), &unit.h_obs},
                 {columns.he, statistic_column(Statistic::kHe), &unit.he}};
  for (const auto& f : figures) {
    const std::optional<double> value = parse_figure(cells[f.column]);
    if (!value) return not_a_number(f.name, cells[f.column]);
    *f.value = *value;
  }
  const std::string_view n = cells[columns.n];
  const std::optional<int64_t> individuals = integer_cell(n);
  if (!individuals || *individuals < 0) return not_a_number(kNColumn, n);
  unit.n = *individuals;
  if (columns.exact_method) {
    const std::string_view method = cells[*columns.exact_method];
    const bool sampled = method == exact_method_name(ExactMethod::kSampling);
    if (!sampled && method != exact_method_name(ExactMethod::kEnumeration) && method != kNaText)
      return "exact_method is neither sampling nor enumeration: '" + escape_text(method) + "'";
    const std::optional<double> drawn = parse_figure(cells[columns.exact_tables]);
    if (!drawn) return not_a_number(kExactTablesColumn, cells[columns.exact_tables]);
    for (size_t t = 0; t < kCombinedTestCount; ++t) {
      const size_t column = columns.tests[t];
      const std::optional<double> point = parse_figure(cells[column]);
      if (!point) return not_a_number(exact_test_column(kCombinedTests[t].test), cells[column]);
      tests[t] = *point;
      // b hits of the tables: (b + 1)/(tables + 1), never 0.
      if (sampled && !std::isnan(tests[t]))
        tests[t] = valid_p(std::round(tests[t] * *drawn), *drawn);
    }
    unit.tests = tests;
    if (table.layout.u_global && columns.genotype_counts && method != kNaText) {
      const std::string failure = read_u_unit(cells[*columns.genotype_counts], !sampled, *drawn,
                                              counted, law);
      if (!failure.empty()) return failure;
      unit.u_sample = &counted.sample;
      if (!sampled) unit.u_law = &law.u_law;
      const std::optional<int64_t> seed =
          columns.seed ? integer_cell(cells[*columns.seed]) : std::nullopt;
      unit.seed_known = seed && *seed >= 0;
      unit.seed = unit.seed_known ? static_cast<uint64_t>(*seed) : 0;
    }
  }
  if (columns.hwe_fail) {
    const std::string_view verdict = cells[*columns.hwe_fail];
    if (verdict != "0" && verdict != "1" && verdict != kNaText && !verdict.empty())
      return "hwe_fail is neither 0, 1 nor NA: '" + escape_text(verdict) + "'";
    unit.hwe_fail = verdict == "1";
  }
  add_summary_unit(table, unit);
  return {};
}
