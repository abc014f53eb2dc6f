#include "exact/table_score.h"

#include <algorithm>

#include "exact/log_factorial.h"

namespace {

constexpr double kLn2 = 0.69314718055994530942;
// A cell gets a lookup table when it can hold fewer than 256; all of them
// together stay within the budget (384 kB), small enough to stay in cache
// and to fill in well under the time of the tables drawn.
constexpr TermTableLimits kScoreTableLimits{256, size_t{1} << 14};

CellScore compute_score(const LogFactorials& lf, const CellInfo& c, int64_t t) {
  return {log_factorial_diff(lf, c.base, t), x2_term(c, t), g2_term(c, t)};
}

}  // namespace

TableScorer prepare_table_scorer(const TableStats& s) {
  const LogFactorials& lf = *s.log_factorials;
  return build_cell_term_table<CellScore>(
      s, kScoreTableLimits, [&](const CellInfo& c, int64_t t) { return compute_score(lf, c, t); });
}

namespace {

// Every cell looked up: no branch, and the terms read in place.
void sum_looked_up(const TableScorer& scorer, size_t cells, const int64_t* t, double* lf,
                   double* x2, double* g2) {
  const int32_t* start = scorer.start.data();
  const CellScore* terms = scorer.terms.data();
  size_t c = 0;
  for (; c + 1 < cells; c += 2) {
    const CellScore* e0 = terms + start[c] + t[c];
    const CellScore* e1 = terms + start[c + 1] + t[c + 1];
    lf[0] += e0->lf;
    x2[0] += e0->x2;
    g2[0] += e0->g2;
    lf[1] += e1->lf;
    x2[1] += e1->x2;
    g2[1] += e1->g2;
  }
  if (c < cells) {
    const CellScore* e = terms + start[c] + t[c];
    lf[0] += e->lf;
    x2[0] += e->x2;
    g2[0] += e->g2;
  }
}

void sum_mixed(const TableStats& s, const TableScorer& scorer, const int64_t* t, double* lf,
               double* x2, double* g2) {
  const LogFactorials& table = *s.log_factorials;
  for (size_t c = 0; c < s.cell.size(); ++c) {
    const int32_t start = scorer.start[c];
    const CellScore e =
        start >= 0 ? scorer.terms[start + t[c]] : compute_score(table, s.cell[c], t[c]);
    lf[c & 1] += e.lf;
    x2[c & 1] += e.x2;
    g2[c & 1] += e.g2;
  }
}

}  // namespace

TableScore score_table(const TableStats& s, const TableScorer& scorer, const int64_t* t) {
  // Two running sums per statistic, the even and the odd cells, so the
  // additions of neighbouring cells do not wait for each other.
  double lf[2] = {0, 0}, x2[2] = {0, 0}, g2[2] = {0, 0};
  if (scorer.all_looked_up) {
    sum_looked_up(scorer, s.cell.size(), t, lf, x2, g2);
  } else {
    sum_mixed(s, scorer, t, lf, x2, g2);
  }
  // The homozygotes give H and, where U is compared in integers, Z in the
  // same pass.
  int64_t homozygotes = 0;
  int u_cmp = 0;
  if (s.u.exact) {
    int64_t z = 0;
    const int64_t* weight = s.u.weight.data();
    size_t d = 0;
    for (int32_t i = 0; i < s.k; d += static_cast<size_t>(s.k - i), ++i) {
      homozygotes += t[d];
      z += t[d] * weight[i];
    }
    u_cmp = (z > s.u.z_sample) - (z < s.u.z_sample);
  } else {
    for (int32_t i = 0; i < s.k; ++i) homozygotes += t[tri_index(i, i, s.k)];
    u_cmp = u_compare(s.u, t);
  }
  const int64_t h = s.two_n / 2 - homozygotes;
  return {static_cast<double>(h - s.h_sample) * kLn2 + (lf[0] + lf[1]), x2[0] + x2[1],
          g2[0] + g2[1], h, u_cmp};
}
