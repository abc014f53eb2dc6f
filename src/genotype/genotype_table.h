// The genotypes of one locus: the upper triangle of a k x k matrix, row by
// row, k(k+1)/2 cells. Allele i's letter is i + 65; a character's allele index
// is its code - 65 read as a signed 8-bit number (negative: no allele).
#pragma once

#include <cstdint>

#include "genotype/buffer.h"

struct GenotypeCell {
  int32_t count;
  char allele1;  // letter of the lower allele index; 0 if never seen
  char allele2;  // letter of the higher or equal index; 0 if never seen
};

// The table of one input file; .size is the number of cells.
using GenotypeTable = Buffer<GenotypeCell>;

// Position of genotype (i, j), 0 <= i <= j < k.
inline int32_t tri_index(int32_t i, int32_t j, int32_t k) {
  return i * k + j - i * (i + 1) / 2;
}

inline int32_t cell_count_for(int32_t k) { return ((k + 1) * k) / 2; }

inline int8_t allele_index(unsigned char c) {
  return static_cast<int8_t>(static_cast<uint8_t>(c - 65));
}

// Makes every field of every cell 0.
void clear_genotype_table(GenotypeCell* table, int32_t cells);

// The k allele letters in allele-index order, zero-terminated; an empty
// buffer when it cannot allocate.
Buffer<char> make_allele_letters(const GenotypeCell* table, int32_t k);
