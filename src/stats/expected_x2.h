// Allele totals and frequencies, expected genotype counts under
// Hardy-Weinberg proportions, and the chi-square of the sample.
//
// Arithmetic is extended precision (long double) and every stored value is
// rounded to float32 at the point written out in the code: the Monte Carlo
// comparisons depend on those exact bits. Requires two_n > 0.
#pragma once

#include <cstdint>

#include "genotype/genotype_table.h"

// On entry k is the number of alleles as read; allele_freq and allele_total
// hold k entries, expected and cell_x2 k(k+1)/2 (contents ignored). Drops the
// alleles without copies (compacting the table and both allele arrays, lowering
// k), fills expected and cell_x2 for the new k and returns X2.
float compute_expected_x2(GenotypeCell* table, float* expected, int32_t& k, int32_t two_n,
                          float* allele_freq, int32_t* allele_total, float* cell_x2);

// The reference contribution of each cell for the Monte Carlo comparison:
// here the difference count - expected is rounded to float32 before it is
// squared, unlike cell_x2.
void reference_contributions(const GenotypeCell* table, const float* expected, int32_t cells,
                             float* reference_x2);
