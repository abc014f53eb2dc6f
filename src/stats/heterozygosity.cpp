#include "stats/heterozygosity.h"

#include <limits>

#include "stats/locus_analysis.h"

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

UnitHeterozygosity unit_heterozygosity(const int32_t* allele_total, int32_t k, int64_t two_n,
                                       int64_t het_observed) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  // With T = 2n copies, S = sum n_i^2 and h heterozygotes: h_exp = (T^2 - S) / T^2,
  // he = (T^2 - S - 2h) / (T (T - 2)), f_is = (T^2 - S - 2h(T - 1)) / (T^2 - S - 2h).
  // S <= T^2 < 2^63 for any sample of int32 copies.
  int64_t squares = 0;
  for (int32_t i = 0; i < k; ++i) squares += int64_t{allele_total[i]} * allele_total[i];
  const int64_t t = two_n;
  const int64_t diversity = t * t - squares;
  UnitHeterozygosity out{static_cast<double>(diversity) / static_cast<double>(t * t), kNaN, kNaN};
  if (t < 4) return out;  // fewer than two individuals
  const int64_t he_numerator = diversity - 2 * het_observed;
  out.he = static_cast<double>(he_numerator) / static_cast<double>(t * (t - 2));
  if (he_numerator != 0) {
    out.f_is = static_cast<double>(diversity - 2 * het_observed * (t - 1)) /
               static_cast<double>(he_numerator);
  }
  return out;
}

UnitHeterozygosity unit_heterozygosity_of(const LocusAnalysis& a) {
  return unit_heterozygosity(a.allele_total.data, a.k, a.two_n, a.het_observed);
}
