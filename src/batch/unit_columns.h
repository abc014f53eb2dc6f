// The columns of a batch row, in named groups: the file, the locus size,
// the statistics with the seed, the Monte Carlo group with --runs and the
// exact group with --exact. Genepop rows add the population and locus after
// the file, `missing` after the locus size and q_bh at the end.
#pragma once

#include <string>
#include <vector>

#include "batch/command_line.h"
#include "batch/tsv_line.h"
#include "batch/unit_analysis.h"

// Header names of each group.
extern const std::vector<const char*> kFileColumns;
extern const std::vector<const char*> kLocusColumns;
extern const std::vector<const char*> kStatsColumns;
extern const std::vector<const char*> kMonteCarloColumns;
extern const std::vector<const char*> kGenepopUnitColumns;  // population pop_name locus

// The whole header line for count files with these options.
std::string count_file_header(const BatchOptions& options);
// The whole header line for Genepop files with these options.
std::string genepop_header(const BatchOptions& options);

// k n
void add_locus_cells(TsvLine& line, const UnitResult& r);
// x2 df x2_crit p_x2 h_obs h_exp d knd2 seed
void add_stats_cells(TsvLine& line, const UnitResult& r);
// mc_runs and the three probabilities with their limits; NA where the
// report shows no interval (every replicate a hit) or nothing was made.
void add_monte_carlo_cells(TsvLine& line, const UnitResult& r);

// exact_method ... p_excess_high; NA where the exact tests did not run.
void add_exact_cells(TsvLine& line, const UnitResult& r);

// The statistics and, as the options ask, the Monte Carlo and exact groups.
void add_test_cells(TsvLine& line, const UnitResult& r, const BatchOptions& options);
// The same cells for a unit with nothing to test: NA, the seed empty.
void add_untested_cells(TsvLine& line, const BatchOptions& options);

// The whole row of a count file.
std::string count_file_row(const std::string& file, const UnitResult& r,
                           const BatchOptions& options);
