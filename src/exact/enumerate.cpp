#include "exact/enumerate.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "exact/log_factorial.h"

namespace {

constexpr long double kLn2 = 0.693147180559945309417232121458176568L;
// Weights below this (relative to the scale, which is a table's weight, so
// below the total) are left out; at most 2^64 tables keep them under 1e-20.
constexpr double kCutoff = 1e-40;
const long double kLogCutoff = logl(static_cast<long double>(kCutoff));
// The scale moves up to a run's entry when that entry exceeds it this much.
constexpr long double kLogRescale = 300.0L;

struct Partial {
  long double lw = 0;  // log weight of the cells fixed so far, relative to the sample's
  double x2 = 0;
  double g2 = 0;
  int64_t h = 0;
};

struct Sums {
  long double total = 0, prob = 0, x2 = 0, g2 = 0, deficit = 0, excess = 0;
};

struct Walk {
  const TableStats& s;
  std::vector<int64_t> rem;  // copies of each allele not yet placed
  // counting
  uint64_t count = 0;
  uint64_t limit = 0;
  uint64_t dead_ends = 0;
  bool stop = false;
  // summing
  long double scale = 0;  // log weight of the unit weight, relative to the sample's
  double tie_weight = 0;  // P(t) <= P(s) within the margin when the weight is at most this
  Sums sums;
};

long double cell_log_weight(const CellInfo& c, int64_t t) {
  long double lw = -log_factorial_diff_ld(t, c.base);
  if (c.het) lw += static_cast<long double>(t - c.base) * kLn2;
  return lw;
}

Partial with_cell(const Partial& p, const CellInfo& c, int64_t t, bool het_cell) {
  Partial q;
  q.lw = p.lw + cell_log_weight(c, t);
  q.x2 = p.x2 + x2_term(c, t);
  q.g2 = p.g2 + g2_term(c, t);
  q.h = p.h + (het_cell ? t : 0);
  return q;
}

void set_scale(Walk& w, long double scale) {
  const long double factor = expl(w.scale - scale);
  w.scale = scale;
  Sums& m = w.sums;
  m.total *= factor;
  m.prob *= factor;
  m.x2 *= factor;
  m.g2 *= factor;
  m.deficit *= factor;
  m.excess *= factor;
  w.tie_weight = static_cast<double>(expl(-scale) * (1.0L + static_cast<long double>(kTieMargin)));
}

// Ratio of the weight at x + 1 homozygotes of the first allele to that at x.
inline double ratio_up(int64_t a, int64_t b, int64_t x) {
  const int64_t h = a - 2 * x;
  const int64_t y = (b - h) / 2;
  return static_cast<double>(h) * static_cast<double>(h - 1) /
         (4.0 * static_cast<double>(x + 1) * static_cast<double>(y + 1));
}

template <bool kSum>
void run_last_two(Walk& w, const Partial& p) {
  const TableStats& s = w.s;
  const int32_t k = s.k;
  const int64_t a = w.rem[k - 2];
  const int64_t b = w.rem[k - 1];
  const int64_t x_lo = a > b ? (a - b) / 2 : 0;
  const int64_t x_hi = a / 2;
  if constexpr (!kSum) {
    w.count += static_cast<uint64_t>(x_hi - x_lo + 1);
    if (w.count > w.limit) w.stop = true;
    return;
  } else {
    const CellInfo& cu = s.cell[cell_index(k - 2, k - 2, k)];
    const CellInfo& cuv = s.cell[cell_index(k - 2, k - 1, k)];
    const CellInfo& cv = s.cell[cell_index(k - 1, k - 1, k)];

    // The run's most probable table: start near a^2 / (2(a + b)) homozygotes
    // and climb while the next table weighs more.
    int64_t x0 = a + b > 0 ? static_cast<int64_t>(static_cast<double>(a) * static_cast<double>(a) /
                                                  (2.0 * static_cast<double>(a + b)))
                           : 0;
    x0 = std::clamp(x0, x_lo, x_hi);
    while (x0 < x_hi && ratio_up(a, b, x0) > 1.0) ++x0;
    while (x0 > x_lo && ratio_up(a, b, x0 - 1) < 1.0) --x0;

    const int64_t h0 = a - 2 * x0;
    const int64_t y0 = (b - h0) / 2;
    long double lw0 = p.lw + cell_log_weight(cu, x0) + cell_log_weight(cuv, h0) +
                      cell_log_weight(cv, y0) - w.scale;
    if (lw0 > kLogRescale) {
      set_scale(w, w.scale + lw0);
      lw0 = 0;
    }
    if (lw0 < kLogCutoff) return;  // the whole run lies below the cutoff

    double total = 0, prob = 0, x2 = 0, g2 = 0, deficit = 0, excess = 0;
    const double tie = w.tie_weight;
    const double x2_threshold = s.x2_threshold;
    const double g2_threshold = s.g2_threshold;
    const int64_t h_sample = s.h_sample;
    auto add = [&](int64_t x, double wt) {
      const int64_t h = a - 2 * x;
      const int64_t y = (b - h) / 2;
      const double tx2 = p.x2 + x2_term(cu, x) + x2_term(cuv, h) + x2_term(cv, y);
      const double tg2 = p.g2 + g2_term(cu, x) + g2_term(cuv, h) + g2_term(cv, y);
      const int64_t th = p.h + h;
      total += wt;
      if (wt <= tie) prob += wt;
      if (tx2 >= x2_threshold) x2 += wt;
      if (tg2 >= g2_threshold) g2 += wt;
      if (th <= h_sample) deficit += wt;
      if (th >= h_sample) excess += wt;
    };

    const double w0 = static_cast<double>(expl(lw0));
    double wt = w0;
    for (int64_t x = x0;;) {
      add(x, wt);
      if (x == x_hi) break;
      wt *= ratio_up(a, b, x);
      ++x;
      if (wt < kCutoff) break;
    }
    wt = w0;
    for (int64_t x = x0; x > x_lo;) {
      wt /= ratio_up(a, b, x - 1);
      --x;
      if (wt < kCutoff) break;
      add(x, wt);
    }

    Sums& m = w.sums;
    m.total += total;
    m.prob += prob;
    m.x2 += x2;
    m.g2 += g2;
    m.deficit += deficit;
    m.excess += excess;
  }
}

template <bool kSum>
void place_row(Walk& w, int32_t i, const Partial& p);

// Row i's homozygotes x and its heterozygotes with the last allele,
// left - 2x of them, which that allele must still be able to supply.
template <bool kSum>
void place_last_pair(Walk& w, int32_t i, int64_t left, const Partial& p) {
  const TableStats& s = w.s;
  const int32_t k = s.k;
  const int64_t d = left - w.rem[k - 1];
  const int64_t x_lo = d > 0 ? (d + 1) / 2 : 0;
  const int64_t x_hi = left / 2;
  if (x_lo > x_hi) {
    if constexpr (!kSum) {
      if (++w.dead_ends > w.limit + 1024) w.stop = true;
    }
    return;
  }
  const CellInfo& hom = s.cell[cell_index(i, i, k)];
  const CellInfo& het = s.cell[cell_index(i, k - 1, k)];
  for (int64_t x = x_lo; x <= x_hi && !w.stop; ++x) {
    const int64_t t = left - 2 * x;
    w.rem[k - 1] -= t;
    if constexpr (kSum) {
      place_row<kSum>(w, i + 1, with_cell(with_cell(p, hom, x, false), het, t, true));
    } else {
      place_row<kSum>(w, i + 1, p);
    }
    w.rem[k - 1] += t;
  }
}

// Row i's heterozygotes with allele j and, recursively, the later ones.
template <bool kSum>
void place_het(Walk& w, int32_t i, int32_t j, int64_t left, const Partial& p) {
  const int32_t k = w.s.k;
  if (j == k - 1) {
    place_last_pair<kSum>(w, i, left, p);
    return;
  }
  const CellInfo& c = w.s.cell[cell_index(i, j, k)];
  const int64_t t_hi = std::min(left, w.rem[j]);
  for (int64_t t = 0; t <= t_hi && !w.stop; ++t) {
    w.rem[j] -= t;
    if constexpr (kSum) {
      place_het<kSum>(w, i, j + 1, left - t, with_cell(p, c, t, true));
    } else {
      place_het<kSum>(w, i, j + 1, left - t, p);
    }
    w.rem[j] += t;
  }
}

template <bool kSum>
void place_row(Walk& w, int32_t i, const Partial& p) {
  if (i == w.s.k - 2) {
    run_last_two<kSum>(w, p);
    return;
  }
  place_het<kSum>(w, i, i + 1, w.rem[i], p);
}

}  // namespace

uint64_t count_tables(const TableStats& s, uint64_t limit) {
  if (s.k == 1) return 1;
  Walk w{s, s.allele, 0, 0, 0, false, 0, 0, Sums{}};
  w.limit = limit;
  place_row<false>(w, 0, Partial{});
  return w.stop ? limit + 1 : w.count;
}

ExactPValues enumerate_tables(const TableStats& s) {
  ExactPValues out;
  if (s.k == 1) return out;
  Walk w{s, s.allele, 0, 0, 0, false, 0, 0, Sums{}};
  set_scale(w, 0);
  place_row<true>(w, 0, Partial{});
  const Sums& m = w.sums;
  auto ratio = [&](long double part) {
    return std::clamp(static_cast<double>(part / m.total), 0.0, 1.0);
  };
  out.prob = ratio(m.prob);
  out.x2e = ratio(m.x2);
  out.llr = ratio(m.g2);
  out.deficit = ratio(m.deficit);
  out.excess = ratio(m.excess);
  return out;
}
