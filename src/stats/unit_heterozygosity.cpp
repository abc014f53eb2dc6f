#include "stats/unit_heterozygosity.h"

#include <limits>

#include "stats/locus_analysis.h"

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
