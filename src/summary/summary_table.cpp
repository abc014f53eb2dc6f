#include "summary/summary_table.h"

#include <cmath>
#include <limits>
#include <optional>

#include "stats/multiple_testing.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The bytes a kept unit costs: its counts, its law, its index in each of
// its scopes.
uint64_t kept_bytes(const SummaryUnit& unit) {
  uint64_t bytes = sizeof(KeptUUnit) + 8 * unit.u_sample->counts.size() + 12;
  if (unit.u_law != nullptr) bytes += 16 * unit.u_law->u.size();
  return bytes;
}

// The unit kept for the file's global U tests; its index, or nothing where
// it has no counts or the file is past the budget.
std::optional<uint32_t> keep_u_unit(SummaryTable& table, FileScopes& file,
                                    const SummaryUnit& unit) {
  if (!table.layout.u_global || unit.u_sample == nullptr || file.u_dropped) return std::nullopt;
  const uint64_t bytes = kept_bytes(unit);
  if (table.u_bytes + bytes > table.u.kept_bytes) {
    table.u_bytes -= file.u_bytes;
    file.u_bytes = 0;
    file.u_dropped = true;
    std::vector<KeptUUnit>().swap(file.u_units);
    return std::nullopt;
  }
  if (!table.u_seeded && unit.seed_known) {
    table.u_seed = unit.seed;
    table.u_seeded = true;
  }
  table.u_bytes += bytes;
  file.u_bytes += bytes;
  KeptUUnit& kept = file.u_units.emplace_back();
  kept.sample = *unit.u_sample;
  if (unit.u_law != nullptr) {
    kept.law = *unit.u_law;
    kept.has_law = true;
  }
  return static_cast<uint32_t>(file.u_units.size() - 1);
}

void add_u_unit(ScopeSums& sums, const SummaryUnit& unit, std::optional<uint32_t> kept) {
  if (kept) {
    sums.u_units.push_back(*kept);
  } else if (!std::isnan(unit.p_lead)) {
    sums.u_missing = true;
  }
}

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
  SummaryRow row;
  row.file = file;
  row.scope = scope;
  row.name = name;
  row.units = sums.lead.count;
  row.lead = combined(sums.lead, layout.combine_p);
  row.f_is = row.h_obs = row.he = kNaN;
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

// The scope's global U tests, where it has every tested unit's counts.
void add_u_global(const SummaryTable& table, const FileScopes& file, const ScopeSums& sums,
                  bool whole_file, SummaryRow& row) {
  if (!table.layout.u_global || file.u_dropped || sums.u_missing) return;
  std::vector<UScopeUnit> units;
  const auto add = [&](const KeptUUnit& kept) {
    units.push_back({&kept.sample, kept.has_law ? &kept.law : nullptr});
  };
  if (whole_file) {
    for (const KeptUUnit& kept : file.u_units) add(kept);
  } else {
    for (uint32_t i : sums.u_units) add(file.u_units[i]);
  }
  if (units.empty()) return;
  UGlobalOptions options;
  options.max_points = table.u.max_points;
  options.draws = table.u.draws;
  options.seed = table.u_seed;
  options.scope_key = u_scope_key(u_scope_name(row.file, row.scope, row.name));
  options.threads = table.u.threads;
  UGlobalResult result;
  if (!table.u_seeded) {
    // Draws from a seed that is not the run's would not be its figures.
    if (!convolve_u_laws(units, options.max_points, result)) {
      row.u_unseeded = true;
      return;
    }
  } else if (run_u_global_test(units, options, result) != ExactStatus::kOk) {
    return;
  }
  row.u_deficit.p = u_global_valid_p(result, true);
  row.u_excess.p = u_global_valid_p(result, false);
  row.u_global = result;
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
      table.files.emplace_back().file = std::string(unit.file);
    }
  } else {
    f = f - 1;
  }
  FileScopes& scopes = table.files[f];
  const size_t tests = table.layout.tests;
  const std::optional<uint32_t> kept = keep_u_unit(table, scopes, unit);
  const bool u_global = table.layout.u_global;
  if (table.layout.loci) {
    ScopeSums& sums = scope_named(scopes.loci, unit.locus);
    add_to(sums, tests, unit);
    if (u_global) add_u_unit(sums, unit, kept);
  }
  if (table.layout.populations) {
    ScopeSums& sums = scope_named(scopes.populations, unit.population);
    add_to(sums, tests, unit);
    if (u_global) add_u_unit(sums, unit, kept);
  }
  add_to(scopes.whole, tests, unit);
  // The file's own scope is every unit it kept: no list of indices.
  if (u_global && !kept && !std::isnan(unit.p_lead)) scopes.whole.u_missing = true;
}

void drop_summary_file(SummaryTable& table, std::string_view file) {
  const auto it = table.file_index.find(file);
  if (it == table.file_index.end()) return;
  table.u_bytes -= table.files[it->second].u_bytes;
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

std::string u_scope_name(const std::string& file, SummaryScope scope, const std::string& name) {
  return file + '\t' + summary_scope_name(scope) + '\t' + name;
}

std::vector<SummaryRow> summary_rows(const SummaryTable& table) {
  const SummaryLayout& layout = table.layout;
  std::vector<SummaryRow> rows;
  for (const FileScopes& f : table.files) {
    for (const auto& [name, sums] : f.loci.scopes) {
      rows.push_back(row_of(layout, f.file, SummaryScope::kLocus, name, sums));
      add_u_global(table, f, sums, false, rows.back());
    }
    for (const auto& [name, sums] : f.populations.scopes) {
      rows.push_back(row_of(layout, f.file, SummaryScope::kPopulation, name, sums));
      add_u_global(table, f, sums, false, rows.back());
    }
    rows.push_back(row_of(layout, f.file, SummaryScope::kFile, "", f.whole));
    add_u_global(table, f, f.whole, true, rows.back());
  }
  adjust_by_scope(rows, [](SummaryRow& row) -> CombinedP& { return row.lead; });
  for (size_t t = 0; t < layout.tests; ++t)
    adjust_by_scope(rows, [t](SummaryRow& row) -> CombinedP& { return row.tests[t]; });
  adjust_by_scope(rows, [](SummaryRow& row) -> CombinedP& { return row.u_deficit; });
  adjust_by_scope(rows, [](SummaryRow& row) -> CombinedP& { return row.u_excess; });
  return rows;
}
