// The statistics of one drawn table for the sampler's five tests, from
// per-cell lookup tables of the terms for every count a cell can hold, so a
// table costs one load per cell and no logarithm. Cells whose possible counts
// exceed the tables' budget compute their terms as table_stats.h does; both
// give the same terms, summed in another order (the sums differ from
// table_x2's and table_g2's by rounding alone, far inside the tie margin).
#pragma once

#include <cstdint>
#include <vector>

#include "exact/table_stats.h"

struct CellScore {
  double lf;  // ln base! - ln t!: the cell's part of ln P(t) - ln P(sample)
  double x2;  // x2_term
  double g2;  // g2_term
};

struct TableScorer {
  std::vector<int32_t> start;  // per cell: its count 0 in terms, or -1 to compute
  std::vector<CellScore> terms;
  bool all_looked_up = false;  // no cell computes its terms
};

struct TableScore {
  double log_prob_ratio;  // ln P(t) - ln P(sample)
  double x2;
  double g2;  // half of G2, as table_g2
  int64_t h;  // heterozygotes
};

TableScorer prepare_table_scorer(const TableStats& s);

// t in the reordered layout of s, with the sample's allele counts.
TableScore score_table(const TableStats& s, const TableScorer& scorer, const int64_t* t);
