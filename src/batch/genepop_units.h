// The units of a Genepop file in batch mode: one population at one locus.
//
// Any number of allele classes is analysed (chi-square and the exact tests);
// the permutation test and the classic report, which name classes by letter,
// take at most kGenepopMcClasses and kMaxLetterClasses of them.
#pragma once

#include <cstdint>
#include <string>

#include "batch/command_line.h"
#include "batch/unit_analysis.h"
#include "genepop/classic_letters.h"
#include "genepop/genepop_data.h"

constexpr int32_t kGenepopMcClasses = 127;

// Whether the tally has something to test: two allele classes with copies.
bool genepop_testable(const GenepopTally& t);

// The unit of a testable tally: its counts in a classic table (with letters
// when there are few enough classes to name). False when memory runs out.
bool make_genepop_unit(const GenepopTally& t, GenotypeUnit& unit);

// "population 2, locus Loc3", naming the unit in a message.
std::string genepop_unit_name(const GenepopTally& t);

// The p-value the false discovery rate is controlled on: p_prob with the
// exact tests, else the Monte Carlo P of X2 with an experiment, else p_x2.
// NaN where that value does not exist for the unit.
double leading_p(const UnitResult& r, const BatchOptions& options);
