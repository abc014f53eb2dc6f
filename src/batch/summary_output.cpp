#include "batch/summary_output.h"

#include <cmath>
#include <limits>

#include "batch/tsv_line.h"
#include "stats/unit_heterozygosity.h"

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

double exact_p(const UnitResult& r, ExactTest test) {
  return r.exact ? exact_valid_p(*r.exact, test) : kNaN;
}

}  // namespace

SummaryLayout summary_layout(const InputKind& kind, const BatchOptions& options) {
  SummaryLayout layout = kind.summary;
  layout.directional = options.exact;
  return layout;
}

SummaryUnit summary_unit_of(std::string_view file_cell, const SourceUnit& unit, const UnitResult* r,
                            const BatchOptions& options) {
  SummaryUnit s{file_cell, unit.population, unit.locus, kNaN, kNaN, kNaN, kNaN, kNaN, 0};
  if (r == nullptr) return s;
  s.p_lead = leading_p(*r, options);
  s.p_deficit = exact_p(*r, ExactTest::kDeficit);
  s.p_excess = exact_p(*r, ExactTest::kExcess);
  s.h_obs = observed_heterozygosity(r->locus);
  s.he = unit_heterozygosity_of(r->locus).he;
  s.n = r->locus.two_n / 2;
  return s;
}

std::string summary_text(const SummaryTable& table) {
  const bool directional = table.layout.directional;
  TsvLine header;
  for (const char* name : {"file", "scope", "name", "units", "p_fisher", "fisher_x2", "fisher_df",
                           "q_bh", "f_is", "h_obs", "he"})
    add_cell(header, name);
  if (directional) {
    for (const char* name : {"p_fisher_deficit", "q_bh_deficit", "p_fisher_excess", "q_bh_excess"})
      add_cell(header, name);
  }
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
    if (directional) {
      add_combined(line, row.deficit, false);
      add_combined(line, row.excess, false);
    }
    text += finish_line(line);
  }
  return text;
}
