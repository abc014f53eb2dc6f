// The heterozygosity of one population at one locus, two ways.
//
// The classic figures: observed and expected heterozygous individuals and
// Selander's D, the relative excess (positive) or deficiency (negative) of
// heterozygotes. For a table whose empty allele classes have been dropped;
// requires two_n > 0 and k >= 2 (with one allele class het_expected is 0 and
// D has no value). Extended-precision arithmetic, float32 results.
//
// The batch figures, in double precision from the integer counts: with n
// individuals, p_i the allele frequencies among their 2n copies and Ho the
// proportion of heterozygotes,
//   h_exp = 1 - sum p_i^2                         (He_b, no sample-size correction)
//   he    = (2n h_exp - Ho) / (2(n - 1))          (Nei & Chesser's unbiased estimate)
//   f_is  = 1 - Ho / he                           (Weir & Cockerham's f, one population)
// he is NaN when n < 2, f_is also when he is 0. Each is one rounding of an
// exact ratio of integers while those stay below 2^53 (samples below about
// 95 million copies); the report's float32 figures are another matter.
#pragma once

#include <cstdint>

#include "genotype/genotype_table.h"

void het_stats(const GenotypeCell* table, int32_t cells, const int32_t* allele_total, int32_t k,
               int32_t two_n, int32_t* het_observed, float* het_expected, float* d_obs);

struct UnitHeterozygosity {
  double h_exp;
  double he;
  double f_is;
};

// allele_total: k copy counts summing to two_n (> 0); het_observed: the
// heterozygous individuals.
UnitHeterozygosity unit_heterozygosity(const int32_t* allele_total, int32_t k, int64_t two_n,
                                       int64_t het_observed);

struct LocusAnalysis;
// The same from an analysed locus's counts.
UnitHeterozygosity unit_heterozygosity_of(const LocusAnalysis& a);
