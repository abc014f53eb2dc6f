// The score statistic for F at F = 0 (Rousset and Raymond 1995):
// U = 2N sum_i t_ii / n_i - N, with t_ii the homozygotes of allele i, n_i
// its copies and N the individuals; under Hardy-Weinberg proportions
// E[U] = -N(k - 1)/(2N - 1). Tables with the same allele counts differ in U
// only through R = sum_i t_ii / n_i, so they are compared by R: exactly, as
// the integer Z = sum_i t_ii (L / n_i) with L the least common multiple of
// the allele counts, wherever k L fits comfortably in 64 bits (every
// biallelic sample and nearly every microsatellite); otherwise in double,
// a table tying with the sample when its R lies within a relative 1e-7 of
// the sample's.
#pragma once

#include <cstdint>
#include <vector>

struct UScale {
  int32_t k = 0;
  int64_t n = 0;                // individuals
  bool exact = false;           // Z in integers, else R in double
  int64_t lcm = 0;              // L, when exact
  std::vector<int64_t> weight;  // L / n_i, when exact
  std::vector<double> inverse;  // 1 / n_i
  int64_t z_sample = 0;         // the sample's Z, when exact
  double r_sample = 0;          // the sample's R
  double r_low = 0;             // R within [r_low, r_high] ties with the sample (not exact)
  double r_high = 0;
  double u_sample = 0;  // U of the sample
};

// From the allele counts (each at least 1) and a table t in the triangle of
// the same allele order (k(k+1)/2 cells), taken as the sample. With
// integers false, U is compared in double even where integers would do (the
// two ways are held to each other by the tests).
UScale prepare_u_scale(const std::vector<int64_t>& allele, const int64_t* t, bool integers = true);

// U from a table's Z (exact scales) or R (the others).
double u_of_z(const UScale& u, int64_t z);
double u_of_r(const UScale& u, double r);

// The sign of U(t) - U(sample), 0 for a tie, of a table in the same layout.
int u_compare(const UScale& u, const int64_t* t);

// U of a table in the same layout.
double u_of_table(const UScale& u, const int64_t* t);

// The exact law of U over the tables with a sample's allele counts, from its
// enumeration: the distinct values ascending, each with its probability.
// Tables below 1e-40 of the sample's probability are left out, as in the
// enumerated p-values; so is any probability below the double range.
struct ULaw {
  std::vector<double> u;
  std::vector<double> p;
};
