#include "stats/heterozygosity.h"

void het_stats(const GenotypeCell* table, int32_t cells, const int32_t* allele_total, int32_t k,
               int32_t two_n, int32_t* het_observed, float* het_expected, float* d_obs) {
  using Ext = long double;

  // Heterozygotes are the cells off the diagonal. Their position says so
  // whatever the letters: a table of more alleles than there are letters
  // carries none.
  int32_t observed = 0;
  for (int32_t i = 0; i < k; ++i) {
    for (int32_t j = i + 1; j < k && tri_index(i, j, k) < cells; ++j)
      observed += table[tri_index(i, j, k)].count;
  }

  // A 32-bit sum would wrap beyond 65535 allele copies; 64 bits hold any
  // int32 totals, and give the same value wherever 32 bits sufficed.
  uint64_t squares = 0;
  for (int32_t i = 0; i < k; ++i) {
    const uint64_t total = static_cast<uint32_t>(allele_total[i]);
    squares += total * total;
  }

  // The number of copies enters exactly. As a float32 it is exact only up to
  // 2^24 copies (where both forms agree to the bit); beyond, its rounding is
  // magnified by the cancellation below into nonsense such as a negative
  // number of expected heterozygotes.
  const Ext c = static_cast<Ext>(two_n);
  const Ext reciprocal = 1.0L / (2.0L * c);
  const Ext subtrahend = reciprocal * static_cast<Ext>(squares);
  const float expected = static_cast<float>(c * 0.5L - subtrahend);

  *het_observed = observed;
  *het_expected = expected;
  *d_obs = static_cast<float>((static_cast<Ext>(observed) - static_cast<Ext>(expected)) /
                              static_cast<Ext>(expected));
}
