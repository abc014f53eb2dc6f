#include "stats/allele_compaction.h"

void compact_allele_arrays(int32_t* allele_total, float* allele_freq, int32_t k) {
  int32_t write = 0;
  for (int32_t i = 0; i < k; ++i) {
    if (allele_total[i] != 0) {
      allele_total[write] = allele_total[i];
      allele_freq[write] = allele_freq[i];
      ++write;
    }
  }
}

int32_t compact_genotype_table(GenotypeCell* table, const int32_t* allele_total, int32_t k) {
  int32_t write = 0;
  for (int32_t i = 0; i < k; ++i) {
    if (allele_total[i] == 0) continue;
    for (int32_t j = i; j < k; ++j) {
      if (allele_total[j] != 0) table[write++] = table[tri_index(i, j, k)];
    }
  }
  return write;
}
