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

// A cell's contribution to the weight's log and to the two statistics.
struct CellTerm {
  long double lw;
  double x2;
  double g2;
};

// Cells whose every possible count fits in this many entries get their terms
// from a table filled once, while all tables together stay within the budget
// (8 MiB); the other cells compute theirs.
constexpr int64_t kTermTableMax = 4096;
constexpr size_t kTermBudget = size_t{1} << 18;

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
  Sums sums{};
  std::vector<int64_t> term_start{};  // per cell: its first entry in terms, or -1
  std::vector<CellTerm> terms{};
  // counting: per row i >= memo_from, the tables of rows i..k-1 by the copies
  // of alleles i..k-1 left, kNotCounted until walked once
  int32_t memo_from = 0;
  std::vector<std::vector<uint64_t>> memo{};
};

constexpr uint64_t kNotCounted = ~uint64_t{0};
// Counts kept at most, over all rows (2 MiB).
constexpr int64_t kMemoMax = int64_t{1} << 18;

long double cell_log_weight(const CellInfo& c, int64_t t) {
  long double lw = -log_factorial_diff_ld(t, c.base);
  if (c.het) lw += static_cast<long double>(t - c.base) * kLn2;
  return lw;
}

CellTerm compute_term(const CellInfo& c, int64_t t) {
  return {cell_log_weight(c, t), x2_term(c, t), g2_term(c, t)};
}

void fill_term_tables(Walk& w) {
  const TableStats& s = w.s;
  w.term_start.assign(s.cell.size(), -1);
  for (int32_t i = 0; i < s.k; ++i) {
    for (int32_t j = i; j < s.k; ++j) {
      const int32_t c = cell_index(i, j, s.k);
      const int64_t most = cell_capacity(s, i, j);
      if (most >= kTermTableMax) continue;
      if (w.terms.size() + static_cast<size_t>(most) + 1 > kTermBudget) return;
      w.term_start[c] = static_cast<int64_t>(w.terms.size());
      for (int64_t t = 0; t <= most; ++t) w.terms.push_back(compute_term(s.cell[c], t));
    }
  }
}

inline CellTerm term(const Walk& w, int32_t c, int64_t t) {
  const int64_t start = w.term_start[c];
  return start >= 0 ? w.terms[start + t] : compute_term(w.s.cell[c], t);
}

// The statistics' terms alone, for the tables of a run.
inline void stat_terms(const Walk& w, int32_t c, int64_t t, double& x2, double& g2) {
  const int64_t start = w.term_start[c];
  if (start >= 0) {
    const CellTerm& e = w.terms[start + t];
    x2 += e.x2;
    g2 += e.g2;
  } else {
    x2 += x2_term(w.s.cell[c], t);
    g2 += g2_term(w.s.cell[c], t);
  }
}

Partial with_cell(const Walk& w, const Partial& p, int32_t c, int64_t t) {
  const CellTerm e = term(w, c, t);
  Partial q;
  q.lw = p.lw + e.lw;
  q.x2 = p.x2 + e.x2;
  q.g2 = p.g2 + e.g2;
  q.h = p.h + (w.s.cell[c].het ? t : 0);
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
    const int32_t iu = cell_index(k - 2, k - 2, k);
    const int32_t iuv = cell_index(k - 2, k - 1, k);
    const int32_t iv = cell_index(k - 1, k - 1, k);

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
    long double lw0 =
        p.lw + term(w, iu, x0).lw + term(w, iuv, h0).lw + term(w, iv, y0).lw - w.scale;
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
      double tx2 = p.x2, tg2 = p.g2;
      stat_terms(w, iu, x, tx2, tg2);
      stat_terms(w, iuv, h, tx2, tg2);
      stat_terms(w, iv, y, tx2, tg2);
      const int64_t th = p.h + h;
      total += wt;
      if (wt <= tie) prob += wt;
      if (tx2 >= x2_threshold) x2 += wt;
      if (tg2 >= g2_threshold) g2 += wt;
      if (th <= h_sample) deficit += wt;
      if (th >= h_sample) excess += wt;
    };

    // lw0 lies within [-92, 300]: a double exp loses nothing that matters.
    const double w0 = std::exp(static_cast<double>(lw0));
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
  const int32_t hom = cell_index(i, i, k);
  const int32_t het = cell_index(i, k - 1, k);
  for (int64_t x = x_lo; x <= x_hi && !w.stop; ++x) {
    const int64_t t = left - 2 * x;
    w.rem[k - 1] -= t;
    if constexpr (kSum) {
      place_row<kSum>(w, i + 1, with_cell(w, with_cell(w, p, hom, x), het, t));
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
  const int32_t c = cell_index(i, j, k);
  const int64_t t_hi = std::min(left, w.rem[j]);
  for (int64_t t = 0; t <= t_hi && !w.stop; ++t) {
    w.rem[j] -= t;
    if constexpr (kSum) {
      place_het<kSum>(w, i, j + 1, left - t, with_cell(w, p, c, t));
    } else {
      place_het<kSum>(w, i, j + 1, left - t, p);
    }
    w.rem[j] += t;
  }
}

// Rows from memo_from on (up to k - 3) keep their counts: the tables of rows
// i..k-1 depend only on the copies of alleles i..k-1 left, which repeat
// across the rows placed before, so each distinct state is walked once. The
// deepest rows whose states all fit within the budget are chosen; row 0 is
// walked once anyway.
void prepare_memo(Walk& w) {
  const TableStats& s = w.s;
  const int32_t k = s.k;
  w.memo_from = k;
  w.memo.resize(static_cast<size_t>(std::max(k, 0)));
  int64_t size = 1;
  size_t total = 0;
  for (int32_t i = k - 1; i >= 1; --i) {
    // Saturates just above the budget: huge allele counts must not overflow.
    const int64_t factor = s.allele[i] + 1;
    size = size > kMemoMax / factor ? kMemoMax + 1 : size * factor;
    if (i > k - 3) continue;
    if (size > kMemoMax || total + static_cast<size_t>(size) > static_cast<size_t>(kMemoMax)) {
      break;
    }
    total += static_cast<size_t>(size);
    w.memo[i].assign(static_cast<size_t>(size), kNotCounted);
    w.memo_from = i;
  }
}

inline size_t memo_index(const Walk& w, int32_t i) {
  size_t at = 0;
  for (int32_t a = i; a < w.s.k; ++a) {
    at = at * static_cast<size_t>(w.s.allele[a] + 1) + static_cast<size_t>(w.rem[a]);
  }
  return at;
}

template <bool kSum>
void place_row(Walk& w, int32_t i, const Partial& p) {
  if (i == w.s.k - 2) {
    run_last_two<kSum>(w, p);
    return;
  }
  if constexpr (!kSum) {
    if (i >= w.memo_from) {
      uint64_t& known = w.memo[i][memo_index(w, i)];
      if (known != kNotCounted) {
        w.count += known;
        if (w.count > w.limit) w.stop = true;
        return;
      }
      const uint64_t before = w.count;
      place_het<kSum>(w, i, i + 1, w.rem[i], p);
      if (!w.stop) known = w.count - before;
      return;
    }
  }
  place_het<kSum>(w, i, i + 1, w.rem[i], p);
}

}  // namespace

uint64_t count_tables(const TableStats& s, uint64_t limit) {
  if (s.k == 1) return 1;
  Walk w{s, s.allele};
  w.limit = limit;
  prepare_memo(w);
  place_row<false>(w, 0, Partial{});
  return w.stop ? limit + 1 : w.count;
}

ExactPValues enumerate_tables(const TableStats& s) {
  ExactPValues out;
  if (s.k == 1) return out;
  Walk w{s, s.allele};
  set_scale(w, 0);
  fill_term_tables(w);
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
