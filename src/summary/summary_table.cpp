#include "summary/summary_table.h"

#include <cmath>
#include <limits>

#include "stats/multiple_testing.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void add_to(ScopeSums& sums, size_t tests, const SummaryUnit& unit) {
  add_fisher_p(sums.lead, unit.p_lead);
  sums.hwe_failing += unit.hwe_fail;
  if (sums.tests.size() < tests) sums.tests.resize(tests);
  for (size_t t = 0; t < tests && t < unit.tests.size(); ++t)
    add_fisher_p(sums.tests[t], unit.tests[t]);
  if (unit.n < 2 || std::isnan(unit.he) || std::isnan(unit.h_obs)) return;
  ++sums.het.units;
  sums.het.h_obs += unit.h_obs;
  sums.het.he += unit.he;
}

ScopeSums& scope_named(NamedScopes& scopes, std::string_view name) {
  const auto it = scopes.index.find(name);
  if (it != scopes.index.end()) return scopes.scopes[it->second].second;
  scopes.index.emplace(std::string(name), scopes.scopes.size());
  return scopes.scopes.emplace_back(std::string(name), ScopeSums{}).second;
}

CombinedP combined(const FisherSums& sums, bool combine) {
  if (!combine || sums.count == 0) return {kNaN, 0, kNaN, kNaN};
  const FisherCombination c = combine_fisher(sums);
  return {c.x2, c.df, c.p, kNaN};
}

SummaryRow row_of(const SummaryLayout& layout, const std::string& file, SummaryScope scope,
                  const std::string& name, const ScopeSums& sums) {
  SummaryRow row{file, scope, name, sums.lead.count, combined(sums.lead, layout.combine_p), {},
                 kNaN, kNaN,  kNaN};
  for (size_t t = 0; t < layout.tests; ++t) {
    row.tests.push_back(t < sums.tests.size() ? combined(sums.tests[t], layout.combine_p)
                                              : CombinedP{kNaN, 0, kNaN, kNaN});
  }
  row.hwe_failing = sums.hwe_failing;
  const HeterozygositySums& het = sums.het;
  if (het.units > 0) {
    const long double units = static_cast<long double>(het.units);
    row.h_obs = static_cast<double>(het.h_obs / units);
    row.he = static_cast<double>(het.he / units);
    if (het.he != 0) row.f_is = static_cast<double>(1.0L - het.h_obs / het.he);
  }
  return row;
}

// q_bh of one combined p over the rows of each scope.
template <class Which>
void adjust_by_scope(std::vector<SummaryRow>& rows, Which which) {
  for (SummaryScope scope :
       {SummaryScope::kLocus, SummaryScope::kPopulation, SummaryScope::kFile}) {
    std::vector<size_t> members;
    std::vector<double> p;
    for (size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].scope != scope) continue;
      members.push_back(i);
      p.push_back(which(rows[i]).p);
    }
    const std::vector<double> q = adjust_benjamini_hochberg(p);
    for (size_t j = 0; j < members.size(); ++j) which(rows[members[j]]).q = q[j];
  }
}

}  // namespace

void add_summary_unit(SummaryTable& table, const SummaryUnit& unit) {
  // Units come file by file: the last file is nearly always the one.
  size_t f = table.files.size();
  if (f == 0 || table.files.back().file != unit.file) {
    const auto it = table.file_index.find(unit.file);
    if (it != table.file_index.end()) {
      f = it->second;
    } else {
      table.file_index.emplace(std::string(unit.file), f);
      table.files.push_back(FileScopes{std::string(unit.file), {}, {}, {}});
    }
  } else {
    f = f - 1;
  }
  FileScopes& scopes = table.files[f];
  const size_t tests = table.layout.tests;
  if (table.layout.loci) add_to(scope_named(scopes.loci, unit.locus), tests, unit);
  if (table.layout.populations)
    add_to(scope_named(scopes.populations, unit.population), tests, unit);
  add_to(scopes.whole, tests, unit);
}

void drop_summary_file(SummaryTable& table, std::string_view file) {
  const auto it = table.file_index.find(file);
  if (it == table.file_index.end()) return;
  table.files.erase(table.files.begin() + static_cast<std::ptrdiff_t>(it->second));
  table.file_index.clear();
  for (size_t i = 0; i < table.files.size(); ++i) table.file_index[table.files[i].file] = i;
}

const char* summary_scope_name(SummaryScope scope) {
  switch (scope) {
    case SummaryScope::kLocus:
      return "locus";
    case SummaryScope::kPopulation:
      return "population";
    case SummaryScope::kFile:
      return "file";
  }
  return "";
}

std::vector<SummaryRow> summary_rows(const SummaryTable& table) {
  const SummaryLayout& layout = table.layout;
  std::vector<SummaryRow> rows;
  for (const FileScopes& f : table.files) {
    for (const auto& [name, sums] : f.loci.scopes)
      rows.push_back(row_of(layout, f.file, SummaryScope::kLocus, name, sums));
    for (const auto& [name, sums] : f.populations.scopes)
      rows.push_back(row_of(layout, f.file, SummaryScope::kPopulation, name, sums));
    rows.push_back(row_of(layout, f.file, SummaryScope::kFile, "", f.whole));
  }
  adjust_by_scope(rows, [](SummaryRow& row) -> CombinedP& { return row.lead; });
  for (size_t t = 0; t < layout.tests; ++t)
    adjust_by_scope(rows, [t](SummaryRow& row) -> CombinedP& { return row.tests[t]; });
  return rows;
}
