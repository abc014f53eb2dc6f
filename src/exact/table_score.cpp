#include "exact/table_score.h"

#include <algorithm>

#include "exact/log_factorial.h"

namespace {

constexpr double kLn2 = 0.69314718055994530942;
// A cell gets a lookup table when it can hold at most this many; all of them
// together stay within the budget (384 kB), small enough to stay in cache
// and to fill in well under the time of the tables drawn.
constexpr int64_t kCellTableMax = 256;
constexpr size_t kTermBudget = size_t{1} << 14;

CellScore compute_score(const CellInfo& c, int64_t t) {
  return {log_factorial_diff(c.base, t), x2_term(c, t), g2_term(c, t)};
}

}  // namespace

TableScorer prepare_table_scorer(const TableStats& s) {
  TableScorer sc;
  sc.start.assign(s.cell.size(), -1);
  for (int32_t i = 0; i < s.k; ++i) {
    for (int32_t j = i; j < s.k; ++j) {
      const int32_t c = cell_index(i, j, s.k);
      const int64_t most = i == j ? s.allele[i] / 2 : std::min(s.allele[i], s.allele[j]);
      if (most >= kCellTableMax) continue;
      if (sc.terms.size() + static_cast<size_t>(most) + 1 > kTermBudget) continue;
      sc.start[c] = static_cast<int32_t>(sc.terms.size());
      for (int64_t t = 0; t <= most; ++t) sc.terms.push_back(compute_score(s.cell[c], t));
    }
  }
  return sc;
}

TableScore score_table(const TableStats& s, const TableScorer& scorer, const int64_t* t) {
  double lf = 0, x2 = 0, g2 = 0;
  int64_t homozygotes = 0;
  const int32_t* start = scorer.start.data();
  const CellScore* terms = scorer.terms.data();
  const int32_t k = s.k;
  for (int32_t i = 0, c = 0; i < k; ++i) {
    homozygotes += t[c];
    for (int32_t j = i; j < k; ++j, ++c) {
      const CellScore e = start[c] >= 0 ? terms[start[c] + t[c]] : compute_score(s.cell[c], t[c]);
      lf += e.lf;
      x2 += e.x2;
      g2 += e.g2;
    }
  }
  const int64_t h = s.two_n / 2 - homozygotes;
  return {static_cast<double>(h - s.h_sample) * kLn2 + lf, x2, g2, h};
}
