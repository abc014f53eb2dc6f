// What a genotype table is held against under Hardy-Weinberg proportions,
// the same for the permutation test and the exact tests: each cell's
// expected count given the allele counts, and the margin within which a
// table's statistic ties with the sample's.
#pragma once

// Relative margin within which a table's statistic ties with the sample's
// and counts as at least as extreme: far wider than the rounding of sums
// over the cells in another order, far narrower than any real difference.
inline constexpr double kTieMargin = 1e-7;

// The expected count of genotype (i, j) with n_i and n_j copies of its two
// alleles among two_n: n_i n_j / 2N off the diagonal, n_i^2 / 4N on it.
inline double cell_expectation(double n_i, double n_j, double two_n, bool diagonal) {
  return diagonal ? n_i * n_i / (2.0 * two_n) : n_i * n_j / two_n;
}
