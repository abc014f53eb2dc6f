// Genepop files as a batch input: one unit per population at one locus,
// identified by the file, the population's number and name and the locus,
// the individuals not typed counted in `missing`.
//
// Any number of allele classes is analysed (chi-square and the exact tests);
// the permutation test and the classic report, which name classes by letter,
// take at most kGenepopMcClasses and kMaxLetterClasses of them.
#pragma once

#include <cstdint>

#include "batch/unit_source.h"

constexpr int32_t kGenepopMcClasses = 127;

const InputKind& genepop_input();
