#include "batch/merged_page.h"

#include <charconv>
#include <cmath>
#include <tuple>

#include "exact/exact_report.h"
#include "figures/genotype_counts.h"
#include "figures/unit_statistics.h"
#include "fileio/text_escape.h"
#include "tsv/tsv_read.h"

namespace {

std::string not_what_hwmc_writes(std::string_view column, std::string_view cell) {
  return std::string(column) + " is not what hwmc writes there: '" + escape_text(cell) + "'";
}

// d is a float32 figure: read as a float, it is the run's value exactly.
std::optional<float> float_cell(std::string_view cell) {
  if (cell == "NA") return std::nanf("");
  float value = 0;
  const auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
  if (error != std::errc() || end != cell.data() + cell.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<PageRowColumns> page_row_columns(std::string_view header, const InputKind*& kind,
                                               std::string& reason) {
  const std::vector<std::string_view> names = split_cells(header);
  kind = &kind_of_header(names);
  if (kind->page_style == PageStyle::kCountFile) {
    reason = "the rows of count files do not hold the genotype tables the page draws";
    return std::nullopt;
  }
  PageRowColumns c;
  c.cells = names.size();
  const auto need = [&](std::string_view name) -> size_t {
    const std::optional<size_t> column = find_column(names, name);
    if (!column && reason.empty())
      reason = "no column '" + std::string(name) + "', which the page needs";
    return column.value_or(0);
  };
  for (const KindColumn& column : kind->id_columns) c.id.push_back(need(column.name));
  c.k = need(kKColumn);
  c.n = need(kNColumn);
  c.f_is = need(statistic_column(Statistic::kFIs));
  c.d = need(statistic_column(Statistic::kD));
  c.lead = need(kLeadColumn);
  for (size_t g = 0; g < 3; ++g) c.genotypes[g] = find_column(names, kGenotypeCountColumns[g]);
  c.genotype_counts = find_column(names, kGenotypeCountsColumn);
  c.p_u_deficit = find_column(names, exact_test_column(ExactTest::kUDeficit));
  c.p_u_excess = find_column(names, exact_test_column(ExactTest::kUExcess));
  if (!reason.empty()) return std::nullopt;
  return c;
}

std::string take_page_row(ResultsPage& page, const PageRowColumns& columns, std::string_view line) {
  const std::vector<std::string_view> cells = split_cells(line);
  if (cells.size() != columns.cells) return "not as many cells as the header";
  PageRow row;
  const auto integer = [&](size_t column, const char* name, auto& into) -> std::string {
    const std::optional<int64_t> value = integer_cell(cells[column]);
    if (!value) return not_what_hwmc_writes(name, cells[column]);
    into = static_cast<std::remove_reference_t<decltype(into)>>(*value);
    return {};
  };
  const auto figure = [&](size_t column, const char* name, double& into) -> std::string {
    const std::optional<double> value = figure_cell(cells[column]);
    if (!value) return not_what_hwmc_writes(name, cells[column]);
    into = *value;
    return {};
  };
  for (std::string reason : {integer(columns.k, kKColumn, row.k), integer(columns.n, kNColumn, row.n),
                             figure(columns.f_is, statistic_column(Statistic::kFIs), row.f_is),
                             figure(columns.lead, kLeadColumn, row.p)})
    if (!reason.empty()) return reason;
  const std::optional<float> d = float_cell(cells[columns.d]);
  if (!d) return not_what_hwmc_writes(statistic_column(Statistic::kD), cells[columns.d]);
  row.d = *d;
  // The page draws the counts of a unit of two alleles, whichever they are.
  if (row.k == 2 && columns.genotype_counts) {
    std::string reason;
    const std::optional<CountedGenotypes> counted =
        parse_genotype_counts(unescape_text(cells[*columns.genotype_counts]), reason);
    if (!counted) return not_what_hwmc_writes(kGenotypeCountsColumn, cells[*columns.genotype_counts]);
    if (counted->sample.k == 2)
      for (size_t g = 0; g < 3; ++g) row.genotypes[g] = static_cast<int32_t>(counted->sample.counts[g]);
  } else if (row.k == 2 && columns.genotypes[0] && columns.genotypes[1] && columns.genotypes[2]) {
    // A unit without a test has NA counts; a site of more alleles none.
    std::array<int32_t, 3> counts{};
    bool all = true;
    for (size_t g = 0; g < 3; ++g) {
      const std::optional<int64_t> value = integer_cell(cells[*columns.genotypes[g]]);
      all = all && value.has_value();
      counts[g] = static_cast<int32_t>(value.value_or(-1));
    }
    if (all) row.genotypes = counts;
  }
  for (const auto& [test, column, into] :
       {std::tuple{ExactTest::kUDeficit, columns.p_u_deficit, &row.p_u_deficit},
        std::tuple{ExactTest::kUExcess, columns.p_u_excess, &row.p_u_excess}}) {
    if (!column) continue;
    const std::optional<double> value = figure_cell(cells[*column]);
    if (!value) return not_what_hwmc_writes(exact_test_column(test), cells[*column]);
    *into = *value;
  }
  std::vector<std::string_view> id;
  for (size_t column : columns.id) id.push_back(cells[column]);
  set_page_names(page, id, row);
  page.waiting.push_back(row);
  return {};
}
