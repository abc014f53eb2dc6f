#include "batch/summary_output.h"

#include <limits>
#include <utility>

#include "batch/unit_analysis.h"
#include "exact/exact_report.h"

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

// u_sum u_global_method, then each direction's p, limits and q.
void add_u_global_cells(TsvLine& line, const SummaryRow& row) {
  if (!row.u_global) {
    for (int i = 0; i < 10; ++i) add_na_cell(line);
    return;
  }
  const UGlobalResult& u = *row.u_global;
  add_double_cell(line, u.s_obs);
  add_cell(line, exact_method_name(u.method));
  for (const auto& [p, q] : {std::pair{&u.deficit, &row.u_deficit}, {&u.excess, &row.u_excess}}) {
    add_double_cell(line, p->p);
    add_double_cell(line, p->low);
    add_double_cell(line, p->high);
    add_double_or_na_cell(line, q->q);
  }
}

}  // namespace

SummaryLayout summary_layout(const InputKind& kind, const BatchOptions& options) {
  SummaryLayout layout = kind.summary;
  layout.tests = options.exact ? kCombinedTestCount : 0;
  layout.hwe = options.hwe;
  layout.u_global = options.exact && layout.combine_p;
  return layout;
}

SummaryTable summary_table_for(const InputKind& kind, const BatchOptions& options) {
  SummaryTable table;
  table.layout = summary_layout(kind, options);
  table.u.threads = options.threads;
  return table;
}

bool keeps_u_laws(const InputKind& kind, const BatchOptions& options) {
  return !options.summary.empty() && summary_layout(kind, options).u_global;
}

void add_unit_to_summary(SummaryTable& table, const InputKind& kind, std::string_view file_cell,
                         const SourceUnit& unit, const RowFigures& figures, const UnitResult* r) {
  SummaryUnit s = summary_unit_of(kind, file_cell, unit, figures);
  ExactSample sample;
  if (table.layout.u_global && r != nullptr && r->exact) {
    sample = exact_sample_of(r->locus);
    s.u_sample = &sample;
    if (r->exact->method == ExactMethod::kEnumeration && !r->exact->u_law.u.empty())
      s.u_law = &r->exact->u_law;
    s.seed = r->seed;
  }
  add_summary_unit(table, s);
}

std::string u_global_note(const SummaryTable& table) {
  if (!table.layout.u_global) return "";
  bool missing = false;
  std::string dropped;
  for (const FileScopes& f : table.files) {
    missing = missing || f.whole.u_missing;
    if (f.u_dropped) dropped += (dropped.empty() ? "" : ", ") + f.file;
  }
  if (!dropped.empty())
    return "the global U tests are NA for " + dropped + ": its units' tables need more than " +
           std::to_string(table.u.kept_bytes >> 20) + " MiB";
  if (missing)
    return "the global U tests are NA: the rows do not hold the units' genotype_counts, "
           "from which the laws of U come";
  return "";
}

std::string u_global_note(const SummaryTable& table, const std::vector<SummaryRow>& rows) {
  std::string note = u_global_note(table);
  if (!note.empty()) return note;
  for (const SummaryRow& row : rows)
    if (row.u_unseeded)
      return "the global U tests are NA where they are drawn: no row shows the run's seed "
             "(give --merge the parts' --seed)";
  return "";
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
  return summary_text(table, summary_rows(table));
}

std::string summary_text(const SummaryTable& table, const std::vector<SummaryRow>& rows) {
  const size_t tests = table.layout.tests;
  TsvLine header;
  for (const char* name : {"file", "scope", "name", "units", "p_fisher", "fisher_x2", "fisher_df",
                           "q_bh", "f_is", "h_obs", "he"})
    add_cell(header, name);
  for (size_t t = 0; t < tests; ++t) {
    add_cell(header, std::string("p_fisher_") + kCombinedTests[t].suffix);
    add_cell(header, std::string("q_bh_") + kCombinedTests[t].suffix);
  }
  if (tests > 0) {
    add_cell(header, kUSumColumn);
    add_cell(header, kUGlobalMethodColumn);
    for (const char* p : {kPUDeficitGlobalColumn, kPUExcessGlobalColumn}) {
      add_cell(header, p);
      add_cell(header, std::string(p) + "_low");
      add_cell(header, std::string(p) + "_high");
      add_cell(header, std::string("q_bh_") + (p + 2));
    }
  }
  if (table.layout.hwe) add_cell(header, kHweFailColumn);
  std::string text = finish_line(header);
  for (const SummaryRow& row : rows) {
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
    if (tests > 0) add_u_global_cells(line, row);
    if (table.layout.hwe) add_int_cell(line, row.hwe_failing);
    text += finish_line(line);
  }
  return text;
}
