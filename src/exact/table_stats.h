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
// A G2 term is written e ((1 + u) ln(1 + u) - u) with u = (t - e)/e, which
// stays exact to rounding near t = e where t ln(t/e) and t - e cancel; so a
// sample at its expectations ties with every table at any size.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "exact/exact_tests.h"
#include "exact/log_factorial.h"
#include "exact/u_score.h"
#include "genotype/genotype_table.h"
#include "stats/cell_expectation.h"

struct CellInfo {
  double e;       // expected count: n_i^2/(4N) on the diagonal, n_i n_j/(2N) off it
  double inv_e;   // 1 / e
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
  UScale u;                      // the score U, in the reordered layout
  const LogFactorials* log_factorials = nullptr;  // covering two_n, owned by the caller
};

// The largest count cell (i, j) can hold with the sample's allele counts.
inline int64_t cell_capacity(const TableStats& s, int32_t i, int32_t j) {
  return i == j ? s.allele[i] / 2 : std::min(s.allele[i], s.allele[j]);
}

inline double x2_term(const CellInfo& c, int64_t t) {
  const double d = static_cast<double>(t) - c.e;
  return d * d * c.inv_e;
}

double g2_term(const CellInfo& c, int64_t t);

// Which tests count a table as at least as extreme as the sample;
// `improbable` says whether it is at most as probable, within the margin,
// and u_cmp is u_compare's sign of U(t) - U(sample).
inline PerTest<bool> extreme_tests(const TableStats& s, bool improbable, double x2, double g2,
                                   int64_t h, int u_cmp) {
  PerTest<bool> e;
  e[ExactTest::kProb] = improbable;
  e[ExactTest::kX2e] = x2 >= s.x2_threshold;
  e[ExactTest::kLlr] = g2 >= s.g2_threshold;
  e[ExactTest::kDeficit] = h <= s.h_sample;
  e[ExactTest::kExcess] = h >= s.h_sample;
  e[ExactTest::kUDeficit] = u_cmp >= 0;
  e[ExactTest::kUExcess] = u_cmp <= 0;
  return e;
}

// Fills the record from a sample that run_exact_tests has validated; the
// record refers to lf, which must outlive it.
TableStats prepare_table_stats(const ExactSample& sample, const LogFactorials& lf);

// X2, half G2 and H of a whole table in the reordered layout.
double table_x2(const TableStats& s, const int64_t* t);
double table_g2(const TableStats& s, const int64_t* t);
int64_t table_heterozygotes(const TableStats& s, const int64_t* t);
