#include "exact/x_two_allele.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "exact/table_stats.h"

namespace {

// What is left of a walk may change a sum by at most this share of it.
constexpr long double kNegligible = 1e-20L;
// ln(1 / kNegligible): how far a tail falls before it stops mattering.
constexpr long double kTailFall = 46.0L;
// The complement of an interval is kept when this share of the run is left.
constexpr long double kComplementShare = 0.01L;

// A run is a unimodal sequence of tables lo..hi (Run::lo, hi, mode), with
// the logarithm of the sum of all its relative weights (log_total, known in
// closed form), ln W of each table (log_w(i), from the log-factorials), and
// the ratios of neighbours' weights from table i on in direction dir
// (steps(i, dir)), which fall away from the mode.

// Ratios f0 f1 / (f2 f3) whose four factors move by fixed steps from one
// table to the next (each a count, exact in double).
struct RatioSteps {
  // Apart rather than in arrays, so a walk keeps them in registers.
  double f0, f1, f2, f3;
  double d0, d1, d2, d3;
  double next() {
    const double r = f0 * f1 / (f2 * f3);
    f0 += d0;
    f1 += d1;
    f2 += d2;
    f3 += d3;
    return r;
  }
};

// W(i+1)/W(i) and W(i-1)/W(i).
template <typename Run>
double up(const Run& run, int64_t i) {
  return run.steps(i, 1).next();
}
template <typename Run>
double down(const Run& run, int64_t i) {
  return run.steps(i, -1).next();
}

// The farthest table from `from` towards `bound` (dir = +-1) whose ln W
// exceeds `level`, given that `from`'s does and ln W falls that way:
// galloping steps from `hint` (a guess between the two, say the answer for
// the run before), outwards or back, then bisection.
template <typename Run>
int64_t last_above(const Run& run, int64_t from, int64_t bound, int64_t dir, long double level,
                   int64_t hint) {
  hint = dir > 0 ? std::clamp(hint, from, bound) : std::clamp(hint, bound, from);
  int64_t good = from;
  int64_t bad = from;
  int64_t step = 1;
  if (hint != from && !(run.log_w(hint) > level)) {
    // Back from the hint towards `from`, which is above.
    bad = hint;
    for (;;) {
      const int64_t at = bad - dir * std::min(step, (bad - from) * dir);
      if (at == from || run.log_w(at) > level) {
        good = at;
        break;
      }
      bad = at;
      step *= 2;
    }
  } else {
    good = hint;
    for (;;) {
      if (good == bound) return good;
      const int64_t at = good + dir * std::min(step, (bound - good) * dir);
      if (run.log_w(at) > level) {
        good = at;
        step *= 2;
      } else {
        bad = at;
        break;
      }
    }
  }
  while ((bad - good) * dir > 1) {
    const int64_t mid = good + (bad - good) / 2;
    if (run.log_w(mid) > level) {
      good = mid;
    } else {
      bad = mid;
    }
  }
  return good;
}

// Whether tables beyond one of weight exp(log_w), each at most r times the
// one before it, weigh less than `floor` together: w r / (1 - r) < floor.
bool rest_negligible(long double log_w, long double r, long double floor) {
  return r < 1 && log_w + logl(r) - log1pl(-r) < logl(floor);
}

constexpr double kTieLow = 1 - kTieMargin;

// The tables from `start` outwards to `end` while they matter, each no more
// probable than the sample. Weights in double (a tail's own sum in double
// too), as ratios multiply: the first steps, which weigh most, keep their
// digits.
template <typename Run>
void walk_tail(XSums& sums, const Run& run, int64_t start, int64_t end, int64_t dir,
               long double floor) {
  const double lowest = static_cast<double>(floor);
  double w = static_cast<double>(expl(run.log_w(start)));
  double counted = 0;
  double ties = 0;
  RatioSteps step = run.steps(start, dir);
  for (int64_t i = start;; i += dir) {
    counted += w;
    if (w >= kTieLow) ties += w;
    if (i == end) break;
    const double r = step.next();
    if (r < 1 && w * r < lowest * (1 - r)) break;
    w *= r;
    if (w == 0) break;
  }
  sums.counted += counted;
  sums.ties += ties;
}

// The tables tied with the sample from `start` outwards, each no more
// probable than it.
template <typename Run>
void gather_ties(XSums& sums, const Run& run, int64_t start, int64_t end, int64_t dir) {
  double w = static_cast<double>(expl(run.log_w(start)));
  RatioSteps step = run.steps(start, dir);
  for (int64_t i = start; w >= kTieLow; i += dir) {
    sums.ties += w;
    if (i == end) return;
    w *= step.next();
  }
}

// How many steps a tail walked from a ratio r would take at most.
double tail_steps(double r, int64_t room) {
  const double steps = r < 1 ? static_cast<double>(kTailFall) / (1 - r) : static_cast<double>(room);
  return std::min(steps, static_cast<double>(room));
}

// Where the tables more probable than the sample ended in the run before,
// as guesses for the next: the last such table on each side.
struct CentralHint {
  int64_t low = -1;
  int64_t high = -1;
};

// The run's tables no more probable than the sample (W <= 1 within the
// margin). floor: what no longer matters to the sums.
template <typename Run>
XSums sum_run(const Run& run, long double floor, CentralHint& hint) {
  XSums sums;
  const long double lw0 = run.log_w(run.mode);
  if (lw0 < kLogTieLow) {
    sums.counted = expl(run.log_total);
    return sums;
  }
  // [cl, cr]: the tables more probable than the sample (none: cr = cl - 1).
  int64_t cl = run.mode;
  int64_t cr = run.mode - 1;
  if (lw0 > kLogTieHigh) {
    cl = last_above(run, run.mode, run.lo, -1, kLogTieHigh, hint.low < 0 ? run.mode : hint.low);
    cr = last_above(run, run.mode, run.hi, 1, kLogTieHigh, hint.high < 0 ? run.mode : hint.high);
    hint = {cl, cr};
    sums.skipped = true;
  }
  const long double tables = static_cast<long double>(run.hi - run.lo) + 1;
  const int64_t width = cr - cl + 1;
  if (width > 0 && run.log_total <= logl(tables / kComplementShare)) {
    const double steps = (cr < run.hi ? tail_steps(up(run, cr), run.hi - cr) : 0) +
                         (cl > run.lo ? tail_steps(down(run, cl), cl - run.lo) : 0);
    if (static_cast<double>(width) <= steps) {
      long double central = 0;
      long double w = expl(run.log_w(cl));
      RatioSteps step = run.steps(cl, 1);
      for (int64_t i = cl;; ++i) {
        central += w;
        if (i == cr) break;
        w *= step.next();
      }
      const long double total = expl(run.log_total);
      if (total - central >= kComplementShare * total) {
        sums.counted = total - central;
        if (cr < run.hi) gather_ties(sums, run, cr + 1, run.hi, 1);
        if (cl > run.lo) gather_ties(sums, run, cl - 1, run.lo, -1);
        return sums;
      }
    }
  }
  if (cr < run.hi) walk_tail(sums, run, cr + 1, run.hi, 1, floor);
  if (cl > run.lo) walk_tail(sums, run, cl - 1, run.lo, -1, floor);
  return sums;
}

// The site: split a is the male copies of allele 0; its females have g0 =
// n0 - a and g1 = n1 - n_m + a copies, and x homozygotes of allele 0 with
// h = g0 - 2x heterozygotes and y = (g1 - h)/2 homozygotes of allele 1.
struct TwoAllele {
  const LogFactorials& lf;
  int64_t n0, n1, nm;
  int64_t a_s, b_s;  // the sample's male copies of each allele
  int64_t x_s, h_s, y_s;
  int64_t a_lo, a_hi;

  explicit TwoAllele(const XStats& s)
      : lf(*s.lf),
        n0(s.total[0]),
        n1(s.total[1]),
        nm(s.n_m),
        a_s(s.male[0]),
        b_s(s.male[1]),
        x_s(s.female[0]),
        h_s(s.female[1]),
        y_s(s.female[2]),
        a_lo(std::max<int64_t>(0, s.n_m - s.total[1])),
        a_hi(std::min(s.n_m, s.total[0])) {}

  long double lnd(int64_t x, int64_t y) const { return log_factorial_diff_ld(lf, x, y); }
  int64_t g0(int64_t a) const { return n0 - a; }
  int64_t g1(int64_t a) const { return n1 - nm + a; }

  // ln W of the male part of split a.
  long double log_male(int64_t a) const { return lnd(a_s, a) + lnd(b_s, nm - a); }
};

// The splits a_lo..a_hi with their hypergeometric law, relative to H(a^s).
struct SplitRun {
  const TwoAllele& t;
  int64_t lo, hi, mode;
  long double log_total;

  SplitRun(const TwoAllele& site, long double log_h_sample)
      : t(site), lo(site.a_lo), hi(site.a_hi), mode(0), log_total(-log_h_sample) {
    const long double guess = static_cast<long double>(t.nm + 1) *
                              static_cast<long double>(t.n0 + 1) /
                              static_cast<long double>(t.n0 + t.n1 + 2);
    mode = std::clamp(static_cast<int64_t>(guess), lo, hi);
    while (mode < hi && up(*this, mode) > 1) ++mode;
    while (mode > lo && down(*this, mode) > 1) --mode;
  }
  // ln H(a)/H(a^s).
  long double log_w(int64_t a) const {
    return t.log_male(a) + t.lnd(t.n0 - t.a_s, t.g0(a)) + t.lnd(t.n1 - t.nm + t.a_s, t.g1(a));
  }
  // H(a+1)/H(a) = (n_m - a)(n0 - a) / ((a + 1)(g1 + 1)); H(a-1)/H(a) =
  // a g1 / ((n_m - a + 1)(n0 - a + 1)).
  RatioSteps steps(int64_t a, int64_t dir) const {
    auto d = [](int64_t v) { return static_cast<double>(v); };
    if (dir > 0) return {d(t.nm - a), d(t.n0 - a), d(a + 1), d(t.g1(a) + 1), -1, -1, 1, 1};
    return {d(a), d(t.g1(a)), d(t.nm - a + 1), d(t.n0 - a + 1), -1, -1, 1, 1};
  }
};

// The female tables of split a, relative to the sample's table.
struct FemaleRun {
  const TwoAllele& t;
  int64_t g0, g1, lo, hi, mode;
  long double male;  // ln W of the split's male part
  long double log_total;

  FemaleRun(const TwoAllele& site, int64_t a, long double log_split_total)
      : t(site),
        g0(site.g0(a)),
        g1(site.g1(a)),
        lo(g0 > g1 ? (g0 - g1) / 2 : 0),
        hi(g0 / 2),
        mode(0),
        male(site.log_male(a)),
        log_total(log_split_total) {
    // Near the expected homozygotes g0^2 / (2 (g0 + g1)).
    const long double guess = g0 + g1 > 0
                                  ? static_cast<long double>(g0) * static_cast<long double>(g0) /
                                        (2.0L * static_cast<long double>(g0 + g1))
                                  : 0;
    mode = std::clamp(static_cast<int64_t>(guess), lo, hi);
    while (mode < hi && up(*this, mode) > 1) ++mode;
    while (mode > lo && down(*this, mode) > 1) --mode;
  }
  long double log_w(int64_t x) const {
    const int64_t h = g0 - 2 * x;
    const int64_t y = (g1 - h) / 2;
    return male + t.lnd(t.x_s, x) + t.lnd(t.h_s, h) + t.lnd(t.y_s, y) +
           static_cast<long double>(h - t.h_s) * kLn2L;
  }
  // W(x+1)/W(x) = h (h - 1) / (4 (x + 1)(y + 1)); W(x-1)/W(x) = 4 x y /
  // ((h + 2)(h + 1)), with h = g0 - 2x and y = (g1 - h)/2.
  RatioSteps steps(int64_t x, int64_t dir) const {
    const double h = static_cast<double>(g0 - 2 * x);
    const double y = static_cast<double>((g1 - (g0 - 2 * x)) / 2);
    const double xd = static_cast<double>(x);
    if (dir > 0) return {h, h - 1, 4 * (xd + 1), y + 1, -2, -2, 4, 1};
    return {4 * xd, y, h + 2, h + 1, -4, -1, 2, 2};
  }
};

}  // namespace

XSums walk_two_allele_x(const XStats& s) {
  const TwoAllele t(s);
  const SplitRun splits(t, s.log_h_sample);
  // ln H(a)/P(s) = ln W of split a's tables together.
  const long double log_female_sample = s.log_p_sample - s.log_h_sample;
  XSums sums;
  auto floor = [&] { return kNegligible * std::max(1.0L, sums.counted); };
  // The intervals of neighbouring splits lie close together.
  CentralHint hint;
  CentralHint mode_hint;
  // Adds split a's tables; returns ln of their total relative weight.
  auto visit = [&](int64_t a) {
    const FemaleRun run(t, a, splits.log_w(a) - log_female_sample);
    const XSums r = sum_run(run, floor(), hint);
    sums.counted += r.counted;
    sums.ties += r.ties;
    sums.skipped = sums.skipped || r.skipped;
    return run.log_total;
  };
  // No split holds more than its H(a), and those beyond a split fall at
  // least by its ratio from one to the next.
  for (int64_t a = splits.mode;; ++a) {
    const long double log_total = visit(a);
    if (a == splits.mode) mode_hint = hint;
    if (a == splits.hi || rest_negligible(log_total, up(splits, a), floor())) break;
  }
  hint = mode_hint;
  for (int64_t a = splits.mode - 1; a >= splits.lo; --a) {
    const long double log_total = visit(a);
    if (a == splits.lo || rest_negligible(log_total, down(splits, a), floor())) break;
  }
  return sums;
}

XSums walk_two_allele_splits(const XStats& s) {
  const TwoAllele t(s);
  CentralHint hint;
  return sum_run(SplitRun(t, s.log_h_sample), kNegligible, hint);
}

uint64_t count_two_allele_x_tables(const XStats& s) {
  using u128 = unsigned __int128;
  const TwoAllele t(s);
  // Split a has floor(min(g0, g1)/2) + 1 tables; g0 - g1 = d - 2a falls.
  // F(v) = sum of floor(u/2) for u = 0..v.
  auto f = [](int64_t v) -> u128 {
    if (v < 0) return 0;
    const u128 q = static_cast<u128>(v / 2);
    return q * q + ((v & 1) != 0 ? q : 0);
  };
  auto half_sum = [&](int64_t from, int64_t to) -> u128 {
    return from > to ? 0 : f(to) - f(from - 1);
  };
  const int64_t d = t.n0 - t.n1 + t.nm;
  const int64_t last_g1 = d >= 0 ? d / 2 : -((1 - d) / 2);  // floor(d/2): g1 <= g0 up to here
  const int64_t a1 = std::min(t.a_hi, last_g1);
  const int64_t a2 = std::max(t.a_lo, last_g1 + 1);
  u128 total = static_cast<u128>(t.a_hi - t.a_lo + 1);
  if (a1 >= t.a_lo) total += half_sum(t.g1(t.a_lo), t.g1(a1));
  if (a2 <= t.a_hi) total += half_sum(t.g0(t.a_hi), t.g0(a2));
  constexpr uint64_t kMost = std::numeric_limits<uint64_t>::max();
  return total > kMost ? kMost : static_cast<uint64_t>(total);
}
