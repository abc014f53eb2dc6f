// Dropping the allele classes that have no copies in the sample.
//
// Both operations keep the remaining alleles in ascending order of their
// former index, so tri_index with the lowered k addresses the compacted
// triangle. Entries past the kept ones are left over and carry no meaning.
#pragma once

#include <cstdint>

#include "genotype/genotype_table.h"

// Moves the entries of alleles with a non-zero total to the front of both
// arrays, in order; k is the number of alleles before compaction.
void compact_allele_arrays(int32_t* allele_total, float* allele_freq, int32_t k);

// Moves every cell (i, j) whose alleles both have a non-zero total to the
// front of the table, whole, in ascending order of position. Returns the
// number of cells kept. Works in place: a kept cell never moves to a later
// position, so no cell is overwritten before it has been moved.
int32_t compact_genotype_table(GenotypeCell* table, const int32_t* allele_total, int32_t k);
