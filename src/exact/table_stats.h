// One sample prepared for the exact tests: alleles reordered by ascending
// count (tables only relabelled, so no p changes), each cell's expected count
// and sample count, the sample's heterozygotes and the thresholds a table
// must reach to count as at least as extreme.
//
// A statistic is a sum of per-cell terms that depend on the cell's count and
// expectation alone, each term non-negative, so tables that are relabellings
// of each other differ only by the order of the additions (far inside the
// 1e-7 tie margin): X2 terms (t - e)^2 / e, G2 terms t ln(t/e) - t + e, whose
// sum over all cells is half of G2 = 2 sum t ln(t/e) because sum t = sum e.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "exact/exact_tests.h"

// Relative margin within which a table ties with the sample.
constexpr double kTieMargin = 1e-7;

struct CellInfo {
  double e;       // expected count: n_i^2/(4N) on the diagonal, n_i n_j/(2N) off it
  double inv_e;   // 1 / e
  double ln_e;    // ln e
  int64_t base;   // the sample's count in this cell
  bool het;       // i != j
};

struct TableStats {
  int32_t k = 0;
  int64_t two_n = 0;
  std::vector<int64_t> allele;   // copies per allele, ascending
  std::vector<CellInfo> cell;    // triangle of the reordered alleles
  int64_t h_sample = 0;          // heterozygotes of the sample
  double x2_threshold = 0;       // X2(t) >= this counts
  double g2_threshold = 0;       // half G2(t) >= this counts (see above)
};

inline int32_t cell_index(int32_t i, int32_t j, int32_t k) { return i * k + j - i * (i + 1) / 2; }

// The largest count cell (i, j) can hold with the sample's allele counts.
inline int64_t cell_capacity(const TableStats& s, int32_t i, int32_t j) {
  return i == j ? s.allele[i] / 2 : std::min(s.allele[i], s.allele[j]);
}

inline double x2_term(const CellInfo& c, int64_t t) {
  const double d = static_cast<double>(t) - c.e;
  return d * d * c.inv_e;
}

double g2_term(const CellInfo& c, int64_t t);

// Fills the record from a sample that run_exact_tests has validated.
TableStats prepare_table_stats(const ExactSample& sample);

// X2, half G2 and H of a whole table in the reordered layout.
double table_x2(const TableStats& s, const int64_t* t);
double table_g2(const TableStats& s, const int64_t* t);
int64_t table_heterozygotes(const TableStats& s, const int64_t* t);
