#include "batch/unit_columns.h"

#include <cmath>

#include "exact/exact_report.h"

const std::vector<const char*> kStatsColumns = {"x2",    "df", "x2_crit", "p_x2", "h_obs",
                                                "h_exp", "d",  "knd2",    "seed"};

namespace {

const std::vector<const char*> kFileColumns = {"file"};
const std::vector<const char*> kLocusColumns = {"k", "n"};
const std::vector<const char*> kMonteCarloColumns = {
    "mc_runs",      "mc_p_x2",       "mc_p_x2_low",  "mc_p_x2_high",
    "mc_p_d_one",   "mc_p_d_one_low", "mc_p_d_one_high", "mc_p_d_both",
    "mc_p_d_both_low", "mc_p_d_both_high"};
const std::vector<const char*> kGenepopUnitColumns = {"population", "pop_name", "locus"};

void add_probability(TsvLine& line, bool made, float p, uint32_t hits, uint32_t runs, double low,
                     double high) {
  if (!made) {
    for (int i = 0; i < 3; ++i) add_na_cell(line);
    return;
  }
  add_float_cell(line, p);
  if (hits == runs) {
    add_na_cell(line);
    add_na_cell(line);
  } else {
    add_double_cell(line, low);
    add_double_cell(line, high);
  }
}

// Whether an experiment drew from the unit's seed: the Monte Carlo one, or
// the exact tests by sampling.
bool seed_drawn(const UnitResult& r) {
  return r.with_mc || (r.with_exact && r.exact.method == ExactMethod::sampling);
}

void add_header_cells(TsvLine& line, const std::vector<const char*>& names) {
  for (const char* name : names) add_cell(line, name);
}

// The names of the cells add_test_cells writes with the same options.
void add_test_header_cells(TsvLine& line, const BatchOptions& options) {
  add_header_cells(line, kStatsColumns);
  if (options.runs > 0) add_header_cells(line, kMonteCarloColumns);
  if (options.exact) {
    for (const std::string& name : exact_column_names()) add_cell(line, name);
  }
}

// k n
void add_locus_cells(TsvLine& line, const UnitResult& r) {
  add_int_cell(line, r.locus.k);
  add_int_cell(line, r.locus.two_n / 2);
}

// x2 df x2_crit p_x2 h_obs h_exp d knd2 seed
void add_stats_cells(TsvLine& line, const UnitResult& r) {
  const LocusAnalysis& a = r.locus;
  add_float_cell(line, a.x2_obs);
  add_int_cell(line, a.df);
  add_float_cell(line, a.x2_crit);
  if (std::isnan(r.p_x2)) {
    add_na_cell(line);
  } else {
    add_double_cell(line, r.p_x2);
  }
  add_double_cell(line, observed_heterozygosity(a));
  add_double_cell(line, expected_heterozygosity(a));
  add_float_cell(line, a.d_obs);
  add_double_cell(line, static_cast<double>(selander_statistic(a.d_obs, a.two_n, a.k)));
  if (seed_drawn(r)) {
    add_int_cell(line, r.seed);
  } else {
    add_cell(line, "");
  }
}

// mc_runs and the three probabilities with their limits; NA where the
// report shows no interval (every replicate a hit) or nothing was made.
void add_monte_carlo_cells(TsvLine& line, const UnitResult& r) {
  const McResults& m = r.mc;
  const bool made = r.with_mc && m.runs_made > 0;
  if (r.with_mc) {
    add_int_cell(line, m.runs_made);
  } else {
    add_na_cell(line);
  }
  add_probability(line, made, m.p_hw, m.hits_hw, m.runs_made, m.ci_hw_low, m.ci_hw_high);
  add_probability(line, made, m.p_d_one, m.hits_d_one, m.runs_made, m.ci_d_one_low,
                  m.ci_d_one_high);
  add_probability(line, made, m.p_d_both, m.hits_d_both, m.runs_made, m.ci_d_both_low,
                  m.ci_d_both_high);
}

// exact_method ... p_excess_high; NA where the exact tests did not run.
void add_exact_cells(TsvLine& line, const UnitResult& r) {
  if (!r.with_exact) {
    for (size_t i = 0; i < exact_column_names().size(); ++i) add_na_cell(line);
    return;
  }
  for (const std::string& cell : format_exact_cells(r.exact)) add_cell(line, cell);
}

}  // namespace

std::string count_file_header(const BatchOptions& options) {
  TsvLine line;
  add_header_cells(line, kFileColumns);
  add_header_cells(line, kLocusColumns);
  add_test_header_cells(line, options);
  return finish_line(line);
}

std::string genepop_header(const BatchOptions& options) {
  TsvLine line;
  add_header_cells(line, kFileColumns);
  add_header_cells(line, kGenepopUnitColumns);
  add_header_cells(line, kLocusColumns);
  add_cell(line, "missing");
  add_test_header_cells(line, options);
  add_cell(line, "p_lead");
  add_cell(line, "q_bh");
  return finish_line(line);
}

void add_test_cells(TsvLine& line, const UnitResult& r, const BatchOptions& options) {
  add_stats_cells(line, r);
  if (options.runs > 0) add_monte_carlo_cells(line, r);
  if (options.exact) add_exact_cells(line, r);
}

void add_untested_cells(TsvLine& line, const BatchOptions& options) {
  // The seed is the last statistics column: empty, as nothing drew from it.
  for (size_t i = 0; i + 1 < kStatsColumns.size(); ++i) add_na_cell(line);
  add_cell(line, "");
  size_t rest = 0;
  if (options.runs > 0) rest += kMonteCarloColumns.size();
  if (options.exact) rest += exact_column_names().size();
  for (size_t i = 0; i < rest; ++i) add_na_cell(line);
}

std::string count_file_row(const std::string& file, const UnitResult& r,
                           const BatchOptions& options) {
  TsvLine line;
  add_text_cell(line, file);
  add_locus_cells(line, r);
  add_test_cells(line, r, options);
  return finish_line(line);
}
