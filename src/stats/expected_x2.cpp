#include "stats/expected_x2.h"

#include "stats/allele_compaction.h"

namespace {

using Ext = long double;

void count_alleles(const GenotypeCell* table, int32_t k, float total_copies, float* allele_freq,
                   int32_t* allele_total) {
  for (int32_t i = 0; i < k; ++i) {
    int32_t total = 0;
    for (int32_t j = 0; j < k; ++j) {
      if (j == i)
        total += 2 * table[tri_index(i, i, k)].count;
      else
        total += table[i < j ? tri_index(i, j, k) : tri_index(j, i, k)].count;
    }
    allele_total[i] = total;
    allele_freq[i] = static_cast<float>(static_cast<Ext>(total) / static_cast<Ext>(total_copies));
  }
}

void fill_expected(const float* p, int32_t k, float individuals, float* expected) {
  for (int32_t i = 0; i < k; ++i) {
    expected[tri_index(i, i, k)] =
        static_cast<float>(static_cast<Ext>(p[i]) * static_cast<Ext>(p[i]) *
                           static_cast<Ext>(individuals));
    for (int32_t j = i + 1; j < k; ++j) {
      expected[tri_index(i, j, k)] =
          static_cast<float>(2.0L * static_cast<Ext>(p[i]) * static_cast<Ext>(p[j]) *
                             static_cast<Ext>(individuals));
    }
  }
}

}  // namespace

float compute_expected_x2(GenotypeCell* table, float* expected, int32_t& k, int32_t two_n,
                          float* allele_freq, int32_t* allele_total, float* cell_x2) {
  const float total_copies = static_cast<float>(two_n);
  count_alleles(table, k, total_copies, allele_freq, allele_total);
  const float individuals = static_cast<float>(static_cast<Ext>(total_copies) * 0.5L);

  int32_t kept = 0;
  for (int32_t i = 0; i < k; ++i)
    if (allele_total[i] != 0) ++kept;
  const int32_t cells = cell_count_for(kept);
  compact_genotype_table(table, allele_total, k);
  compact_allele_arrays(allele_total, allele_freq, k);
  k = kept;

  fill_expected(allele_freq, k, individuals, expected);
  for (int32_t pos = 0; pos < cells; ++pos) cell_x2[pos] = 0.0f;

  float x2 = 0.0f;
  for (int32_t pos = 0; pos < cells; ++pos) {
    const Ext d = static_cast<Ext>(table[pos].count) - static_cast<Ext>(expected[pos]);
    cell_x2[pos] = static_cast<float>(d * d / static_cast<Ext>(expected[pos]));
    x2 = static_cast<float>(static_cast<Ext>(x2) + static_cast<Ext>(cell_x2[pos]));
  }
  return x2;
}

void reference_contributions(const GenotypeCell* table, const float* expected, int32_t cells,
                             float* reference_x2) {
  for (int32_t pos = cells - 1; pos >= 0; --pos) {
    const float t =
        static_cast<float>(static_cast<Ext>(table[pos].count) - static_cast<Ext>(expected[pos]));
    reference_x2[pos] = static_cast<float>(static_cast<Ext>(t) * static_cast<Ext>(t) /
                                           static_cast<Ext>(expected[pos]));
  }
}
