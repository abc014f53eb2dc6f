#include "batch/summary_output.h"

#include <limits>

#include "tsv/tsv_line.h"
#include "tsv/tsv_read.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void add_combined(TsvLine& line, const CombinedP& c, bool with_statistic) {
  add_double_or_na_cell(line, c.p);
  if (with_statistic) {
    add_double_or_na_cell(line, c.x2);
    if (c.df > 0) {
      add_int_cell(line, c.df);
    } else {
      add_na_cell(line);
    }
  }
  add_double_or_na_cell(line, c.q);
}

std::string_view id_cell(const InputKind& kind, const SourceUnit& unit, IdRole role) {
  const std::optional<size_t> column = id_column_with(kind, role);
  return column ? cell_at(unit.id.text, *column) : std::string_view{};
}

}  // namespace

SummaryLayout summary_layout(const InputKind& kind, const BatchOptions& options) {
  SummaryLayout layout = kind.summary;
  layout.tests = options.exact ? kCombinedTestCount : 0;
  layout.hwe = options.hwe;
  return layout;
}

SummaryUnit summary_unit_of(const InputKind& kind, std::string_view file_cell,
                            const SourceUnit& unit, const RowFigures& figures) {
  SummaryUnit s{
      file_cell,
      kind.summary.populations ? id_cell(kind, unit, IdRole::kPopulation) : std::string_view{},
      kind.summary.loci ? id_cell(kind, unit, IdRole::kLocus) : std::string_view{},
      kNaN,
      {},
      kNaN,
      kNaN,
      0};
  if (!figures.tested) return s;
  s.p_lead = figures.lead.p;
  s.tests = figures.combined;
  s.h_obs = figures.stat[Statistic::kHObs];
  s.he = figures.stat[Statistic::kHe];
  s.n = figures.n;
  s.hwe_fail = figures.hwe == HweVerdict::kFail;
  return s;
}

std::string summary_text(const SummaryTable& table) {
  const size_t tests = table.layout.tests;
  TsvLine header;
  for (const char* name : {"file", "scope", "name", "units", "p_fisher", "fisher_x2", "fisher_df",
                           "q_bh", "f_is", "h_obs", "he"})
    add_cell(header, name);
  for (size_t t = 0; t < tests; ++t) {
    add_cell(header, std::string("p_fisher_") + kCombinedTests[t].suffix);
    add_cell(header, std::string("q_bh_") + kCombinedTests[t].suffix);
  }
  if (table.layout.hwe) add_cell(header, kHweFailColumn);
  std::string text = finish_line(header);
  for (const SummaryRow& row : summary_rows(table)) {
    TsvLine line;
    add_cell(line, row.file);
    add_cell(line, summary_scope_name(row.scope));
    add_cell(line, row.name);
    add_int_cell(line, row.units);
    add_combined(line, row.lead, true);
    add_double_or_na_cell(line, row.f_is);
    add_double_or_na_cell(line, row.h_obs);
    add_double_or_na_cell(line, row.he);
    for (size_t t = 0; t < tests; ++t) add_combined(line, row.tests[t], false);
    if (table.layout.hwe) add_int_cell(line, row.hwe_failing);
    text += finish_line(line);
  }
  return text;
}
