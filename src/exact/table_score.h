// The statistics of one drawn table for the sampler's tests, from
// per-cell lookup tables of the terms for every count a cell can hold, so a
// table costs one load per cell and no logarithm (cell_terms.h). The sums
// differ from table_x2's and table_g2's by the order of the additions alone,
// far inside the tie margin.
#pragma once

#include <cstdint>
#include <vector>

#include "exact/cell_terms.h"
#include "exact/table_stats.h"

struct CellScore {
  double lf;  // ln base! - ln t!: the cell's part of ln P(t) - ln P(sample)
  double x2;  // x2_term
  double g2;  // g2_term
};

using TableScorer = CellTermTable<CellScore>;

struct TableScore {
  double log_prob_ratio;  // ln P(t) - ln P(sample)
  double x2;
  double g2;  // half of G2, as table_g2
  int64_t h;  // heterozygotes
  int u_cmp;  // the sign of U(t) - U(sample), as u_compare
};

TableScorer prepare_table_scorer(const TableStats& s);

// t in the reordered layout of s, with the sample's allele counts.
TableScore score_table(const TableStats& s, const TableScorer& scorer, const int64_t* t);
