// The columns of a batch row, in named groups: the file, the locus size,
// the statistics with the seed, the Monte Carlo group with --runs and the
// exact group with --exact. Genepop rows add the population and locus after
// the file, `missing` after the locus size and p_lead, q_bh at the end.
#pragma once

#include <string>
#include <vector>

#include "batch/command_line.h"
#include "batch/tsv_line.h"
#include "batch/unit_analysis.h"

// Header names of the statistics group, the seed last.
extern const std::vector<const char*> kStatsColumns;

// The whole header line for count files with these options.
std::string count_file_header(const BatchOptions& options);
// The whole header line for Genepop files with these options.
std::string genepop_header(const BatchOptions& options);

// The statistics and, as the options ask, the Monte Carlo and exact groups.
void add_test_cells(TsvLine& line, const UnitResult& r, const BatchOptions& options);
// The same cells for a unit with nothing to test: NA, the seed empty.
void add_untested_cells(TsvLine& line, const BatchOptions& options);

// The whole row of a count file.
std::string count_file_row(const std::string& file, const UnitResult& r,
                           const BatchOptions& options);
