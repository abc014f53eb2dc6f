// The replicate written out step by step as its definition reads: separate
// passes, a modulo per draw, tri_index per individual, every per-genotype
// contribution through extended precision, the hit test on unsigned 32-bit
// integers, the whole-sample chi-square as a plain sum of (t - e)^2 / e with
// the expectations from the allele counts. Slow on purpose; the tests hold
// the program's replicate to it and the benchmark measures against it. Valid
// only while scaled values fit in 32 bits.
#pragma once

#include <cstdint>

#include "genotype/genotype_table.h"
#include "montecarlo/replicate.h"
#include "montecarlo/rng.h"
#include "stats/locus_analysis.h"

// Per-genotype hits of a table of simulated counts.
inline void reference_cell_hits(const int32_t* sim_table, const float* expected, int32_t cells,
                                const float* reference_x2, uint32_t* cell_hits) {
  for (int32_t c = cells - 1; c >= 0; --c) {
    const float diff = static_cast<float>(static_cast<long double>(sim_table[c]) -
                                          static_cast<long double>(expected[c]));
    const long double v = static_cast<long double>(diff) * static_cast<long double>(diff) /
                          static_cast<long double>(expected[c]);
    const uint32_t s = static_cast<uint32_t>(
        static_cast<long double>(static_cast<float>(v)) * 100000.0f + 0.5f);
    const uint32_t o =
        static_cast<uint32_t>(static_cast<long double>(reference_x2[c]) * 100000.0f + 0.5f);
    if (s >= o) cell_hits[c] += 1;
  }
}

// sum over the cells of (t - e)^2 / e, e = n_i n_j / 2N or n_i^2 / 4N.
inline double reference_table_x2(const int32_t* counts, const int32_t* allele_total, int32_t k,
                                 int32_t two_n) {
  double x2 = 0;
  for (int32_t i = 0; i < k; ++i) {
    for (int32_t j = i; j < k; ++j) {
      const double ni = allele_total[i];
      const double nj = allele_total[j];
      const double e = i == j ? ni * ni / (2.0 * two_n) : ni * nj / two_n;
      const double d = counts[tri_index(i, j, k)] - e;
      x2 += d * d / e;
    }
  }
  return x2;
}

inline ReplicateScores reference_mc_replicate(const LocusAnalysis& locus, AlleleSlot* slots,
                                              int32_t* sim_table, const float* reference_x2,
                                              uint32_t* cell_hits, bool* slots_filled) {
  const int32_t two_n = locus.two_n;
  const int32_t k = locus.k;
  int32_t i = 0;
  for (int32_t j = 0; j < k; ++j) {
    for (int32_t n = 0; n < locus.allele_total[j]; ++n) {
      slots[i].target = i + static_cast<int32_t>(rng_next() % static_cast<uint32_t>(two_n - i));
      if (!*slots_filled) slots[i].allele = static_cast<int8_t>(j);
      i = i + 1;
    }
  }

  for (int32_t c = 0; c < locus.cells; ++c) sim_table[c] = 0;

  for (int32_t s = 0; s < two_n; ++s) {
    const int8_t tmp = slots[s].allele;
    slots[s].allele = slots[slots[s].target].allele;
    slots[slots[s].target].allele = tmp;
  }

  int32_t het_sim = 0;
  for (int32_t m = 0; m < two_n / 2; ++m) {
    const int32_t a = slots[2 * m].allele;
    const int32_t b = slots[2 * m + 1].allele;
    if (a > b) {
      sim_table[tri_index(b, a, k)] += 1;
    } else {
      sim_table[tri_index(a, b, k)] += 1;
    }
    if (a != b) het_sim += 1;
  }

  reference_cell_hits(sim_table, locus.expected.data, locus.cells, reference_x2, cell_hits);
  ReplicateScores scores;
  scores.x2 = reference_table_x2(sim_table, locus.allele_total.data, k, two_n);
  scores.d = static_cast<float>(
      (static_cast<long double>(het_sim) - static_cast<long double>(locus.het_expected)) /
      static_cast<long double>(locus.het_expected));
  *slots_filled = true;
  return scores;
}
