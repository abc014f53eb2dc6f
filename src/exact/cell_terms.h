// Per-cell lookup tables of a table's terms for every count a cell can hold,
// so that walking or drawing tables costs a load per cell instead of a
// logarithm. Cells that could hold more than the limits allow, or that no
// longer fit the budget, are left to compute their terms; a looked-up term
// equals the computed one, so which cells get a table never changes a figure.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "exact/table_stats.h"

struct TermTableLimits {
  int64_t cell_max;  // a cell that can hold this many or more computes its terms
  size_t budget;     // entries over all cells
};

template <typename Term>
struct CellTermTable {
  std::vector<int32_t> start;  // per cell: its count 0 in terms, or -1 to compute
  std::vector<Term> terms;
  bool all_looked_up = false;  // no cell computes its terms
};

// compute(cell, t) gives the Term of count t in that cell.
template <typename Term, typename Compute>
CellTermTable<Term> build_cell_term_table(const TableStats& s, TermTableLimits limits,
                                          Compute compute) {
  CellTermTable<Term> table;
  table.start.assign(s.cell.size(), -1);
  for (int32_t i = 0; i < s.k; ++i) {
    for (int32_t j = i; j < s.k; ++j) {
      const int32_t c = tri_index(i, j, s.k);
      const int64_t most = cell_capacity(s, i, j);
      if (most >= limits.cell_max) continue;
      if (table.terms.size() + static_cast<size_t>(most) + 1 > limits.budget) continue;
      table.start[c] = static_cast<int32_t>(table.terms.size());
      for (int64_t t = 0; t <= most; ++t) table.terms.push_back(compute(s.cell[c], t));
    }
  }
  table.all_looked_up = std::find(table.start.begin(), table.start.end(), -1) == table.start.end();
  return table;
}
