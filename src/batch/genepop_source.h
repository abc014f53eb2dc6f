// Genepop files as a batch input: one unit per population at one locus,
// identified by the file, the population's number and name and the locus,
// the individuals not typed counted in `missing`.
//
// Any number of allele classes is analysed (chi-square and the exact tests);
// the permutation test and the classic report, which name classes by letter,
// take at most kLetteredMcClasses and kMaxLetterClasses of them.
#pragma once

#include <string>

#include "batch/unit_source.h"
#include "genepop/genepop_data.h"

// The unit of one population at one locus of the file at path: untestable
// without two allele classes with copies; a failure when memory runs out.
SourceUnit genepop_unit(const std::string& path, const GenepopTally& t);
