#include "genotype/genotype_table.h"

void clear_genotype_table(GenotypeCell* table, int32_t cells) {
  if (cells <= 0) return;
  table[0].count = 0;
  table[0].allele1 = 0;
  table[0].allele2 = 0;
  // The table comes zero-filled; copying the first cell over the rest makes
  // the all-zero state explicit whatever the allocation gave.
  for (int32_t pos = 1; pos < cells; ++pos) table[pos] = table[0];
}

Buffer<char> make_allele_letters(const GenotypeCell* table, int32_t k) {
  Buffer<char> letters;
  if (!letters.allocate(static_cast<size_t>(k) + 1)) return letters;
  for (int32_t i = 0; i < k; ++i) {
    for (int32_t j = i; j < k; ++j) {
      const GenotypeCell& cell = table[tri_index(i, j, k)];
      if (cell.allele1 != 0 && cell.allele2 != 0) {
        letters[i] = cell.allele1;
        letters[j] = cell.allele2;
      }
    }
  }
  letters[k] = 0;
  return letters;
}
