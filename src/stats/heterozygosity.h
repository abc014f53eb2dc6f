// Observed and expected heterozygous individuals and Selander's D, the
// relative excess (positive) or deficiency (negative) of heterozygotes.
//
// For a table whose empty allele classes have been dropped; requires
// two_n > 0 and k >= 2 (with one allele class het_expected is 0 and D has
// no value). Extended-precision arithmetic, float32 results.
#pragma once

#include <cstdint>

#include "genotype/genotype_table.h"

void het_stats(const GenotypeCell* table, int32_t cells, const int32_t* allele_total, int32_t k,
               int32_t two_n, int32_t* het_observed, float* het_expected, float* d_obs);
