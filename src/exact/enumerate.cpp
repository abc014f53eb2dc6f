#include "exact/enumerate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "exact/cell_terms.h"
#include "exact/log_factorial.h"

namespace {

constexpr long double kLn2 = 0.693147180559945309417232121458176568L;
// Weights below this share of the sample's are left out; at most 2^64
// tables keep them under 1e-20 of the total and of p_prob.
constexpr double kCutoff = 1e-40;
const long double kLogCutoff = logl(static_cast<long double>(kCutoff));
// The scale moves up to a run's entry when that entry exceeds it this much.
constexpr long double kLogRescale = 300.0L;

// The cells of rows 0..k-3, one level each in the order they are placed:
// row i's heterozygotes with alleles i+1..k-2, then its homozygotes together
// with its heterozygotes with the last allele (the pair that must use up
// the row's copies). The last two rows are a run (see the header).
struct Level {
  int32_t row;
  int32_t col;     // the partner allele of a heterozygote level
  bool last_pair;  // the homozygotes and the partners of the last allele
};

std::vector<Level> placement_levels(int32_t k) {
  std::vector<Level> levels;
  for (int32_t i = 0; i + 2 < k; ++i) {
    for (int32_t j = i + 1; j + 1 < k; ++j) levels.push_back({i, j, false});
    levels.push_back({i, k - 1, true});
  }
  return levels;
}

// The homozygotes x a last-pair level may take when `left` copies of its
// row remain, the last allele holding `last`: its partners left - 2x must
// not exceed them.
inline int64_t last_pair_low(int64_t left, int64_t last) {
  const int64_t d = left - last;
  return d > 0 ? (d + 1) / 2 : 0;
}

// The walk's position: the value placed at each level and the copies left.
// Both walks move through it depth first, iteratively.
struct Placement {
  const TableStats& s;
  std::vector<Level> levels;
  std::vector<int64_t> rem;    // copies of each allele not yet placed
  std::vector<int64_t> value;  // per level: the value placed
  std::vector<int64_t> last;   // the last it takes
  std::vector<int64_t> step;   // and 1 or -1 to go there
  std::vector<int64_t> left;   // the row's copies left on entering the level
  // The homozygotes of a last-pair level from the most down rather than
  // from the fewest up. Counting goes this way: it leaves the last allele
  // its copies, so the runs it meets are long and a count beyond the limit
  // is found after few of them (from the fewest up, a sample of twelve
  // alleles of a few hundred copies each first meets a million one-table
  // runs). The sums keep the ascending order their figures were made in.
  bool homozygotes_down = false;

  explicit Placement(const TableStats& stats, bool down = false)
      : s(stats),
        levels(placement_levels(stats.k)),
        rem(stats.allele),
        value(levels.size()),
        last(levels.size()),
        step(levels.size()),
        left(levels.size() + 1),
        homozygotes_down(down) {}

  size_t depth() const { return levels.size(); }

  bool first_of_row(size_t d) const {
    return !levels[d].last_pair && levels[d].col == levels[d].row + 1;
  }

  // The cell count a level's value stands for: its heterozygotes.
  int64_t partners(size_t d) const {
    return levels[d].last_pair ? left[d] - 2 * value[d] : value[d];
  }

  void apply(size_t d) {
    const int64_t t = partners(d);
    rem[levels[d].col] -= t;
    left[d + 1] = left[d] - t;
  }

  // Places level d at its first value; false (nothing placed) when the
  // copies left allow none.
  bool enter(size_t d) {
    const Level& lv = levels[d];
    if (first_of_row(d)) left[d] = rem[lv.row];
    int64_t lo = 0, hi = 0;
    if (lv.last_pair) {
      lo = last_pair_low(left[d], rem[s.k - 1]);
      hi = left[d] / 2;
      if (lo > hi) return false;
    } else {
      hi = std::min(left[d], rem[lv.col]);
    }
    const bool down = homozygotes_down && lv.last_pair;
    value[d] = down ? hi : lo;
    last[d] = down ? lo : hi;
    step[d] = down ? -1 : 1;
    apply(d);
    return true;
  }

  // Moves level d to its next value; false (level d taken away) after its
  // last.
  bool advance(size_t d) {
    rem[levels[d].col] += partners(d);
    if (value[d] == last[d]) return false;
    value[d] += step[d];
    apply(d);
    return true;
  }
};

enum class WalkStep { kContinue, kSkip, kStop };

// Every placement depth first, without recursion. The visitor hears of each
// complete placement of the rows (leaf: the run of the last two alleles is
// left), of each row about to be placed (row_entry, which may skip the
// row's placements), of each placement that cannot go on (dead_end), of
// each value placed (placed) and of each row done (row_done); any step but
// placed may stop the walk. Returns false when stopped.
template <typename Visitor>
bool walk_placements(Placement& at, Visitor& visit) {
  size_t d = 0;
  bool down = true;
  for (;;) {
    if (down) {
      down = false;
      WalkStep step = WalkStep::kContinue;
      if (d == at.depth()) {
        step = visit.leaf();
      } else {
        if (at.first_of_row(d)) step = visit.row_entry(d);
        if (step == WalkStep::kContinue) {
          if (at.enter(d)) {
            visit.placed(d++);
            down = true;
          } else {
            step = visit.dead_end();
          }
        }
      }
      if (step == WalkStep::kStop) return false;
      continue;
    }
    if (d == 0) return true;
    --d;
    if (at.advance(d)) {
      visit.placed(d++);
      down = true;
    } else if (at.first_of_row(d)) {
      visit.row_done(d);
    }
  }
}

// ---- counting ---------------------------------------------------------

constexpr uint64_t kNotCounted = ~uint64_t{0};
// Counts kept at most, over all rows (2 MiB).
constexpr int64_t kMemoMax = int64_t{1} << 18;

// Rows from memo_from on (up to k - 3) keep their counts: the tables of rows
// i..k-1 depend only on the copies of alleles i..k-1 left, which repeat
// across the rows placed before, so each distinct state is walked once. The
// deepest rows whose states all fit within the budget are chosen; row 0 is
// walked once anyway.
int32_t prepare_memo(const TableStats& s, std::vector<std::vector<uint64_t>>& memo) {
  const int32_t k = s.k;
  int32_t memo_from = k;
  memo.assign(static_cast<size_t>(std::max(k, 0)), {});
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
    memo[i].assign(static_cast<size_t>(size), kNotCounted);
    memo_from = i;
  }
  return memo_from;
}

size_t memo_index(const TableStats& s, const std::vector<int64_t>& rem, int32_t i) {
  size_t at = 0;
  for (int32_t a = i; a < s.k; ++a) {
    at = at * static_cast<size_t>(s.allele[a] + 1) + static_cast<size_t>(rem[a]);
  }
  return at;
}

// ---- summing ----------------------------------------------------------

constexpr double kDoubleMin = std::numeric_limits<double>::min();
// exp of anything from here on is a normal double.
constexpr long double kLogDoubleMin = -708.0L;

inline int clamp_exponent(int64_t e) {
  return static_cast<int>(std::clamp<int64_t>(e, -40000, 40000));
}

// A sum of non-negative terms whose value is v 2^e times the scale's
// weight, so that sums far below the scale (a p beyond the double range)
// keep their digits. Terms come as a value and an exponent of their own;
// while every exponent is 0 it is the plain extended-precision sum.
struct WideSum {
  long double v = 0;
  int64_t e = 0;
};

void wide_add(WideSum& s, long double x, int64_t xe) {
  if (x == 0) return;
  if (xe == s.e) {
    s.v += x;
  } else if (s.v == 0) {
    s.v = x;
    s.e = xe;
  } else if (xe < s.e) {
    s.v += ldexpl(x, clamp_exponent(xe - s.e));
  } else {
    s.v = ldexpl(s.v, clamp_exponent(s.e - xe)) + x;
    s.e = xe;
  }
}

// Times factor = e^log_factor: a plain product while it stays well inside
// the extended range, else through the exponent.
void wide_scale(WideSum& s, long double factor, long double log_factor) {
  if (s.v == 0) return;
  if (factor >= 0x1p-8000L && s.v >= 0x1p-8000L) {
    s.v *= factor;
    return;
  }
  const auto shift = static_cast<int64_t>(floorl(log_factor / kLn2));
  s.e += shift;
  s.v *= expl(log_factor - static_cast<long double>(shift) * kLn2);
}

// The natural log of a / t.
long double wide_log_ratio(const WideSum& a, const WideSum& t) {
  if (a.v == 0) return -std::numeric_limits<long double>::infinity();
  return logl(a.v) - logl(t.v) + static_cast<long double>(a.e - t.e) * kLn2;
}

// a / t in extended precision (0 below its range): the quotient of the
// values, scaled by the exponents exactly.
long double wide_ratio(const WideSum& a, const WideSum& t) {
  if (a.v == 0) return 0;
  int ea = 0, et = 0;
  const long double ma = frexpl(a.v, &ea);
  const long double mt = frexpl(t.v, &et);
  return ldexpl(ma / mt, clamp_exponent(static_cast<int64_t>(ea - et) + (a.e - t.e)));
}

// a - b / 2, for b <= a.
WideSum wide_less_half(const WideSum& a, const WideSum& b) {
  WideSum d = a;
  if (b.v != 0) d.v -= 0.5L * ldexpl(b.v, clamp_exponent(b.e - a.e));
  return d;
}

struct Partial {
  long double lw = 0;  // log weight of the cells fixed so far, relative to the sample's
  double x2 = 0;
  double g2 = 0;
  int64_t h = 0;
  int64_t z = 0;  // Z of the homozygotes fixed so far (exact U scales)
  double r = 0;   // R of them (the others)
};

// A cell's contribution to the weight's log and to the two statistics.
struct CellTerm {
  long double lw;
  double x2;
  double g2;
};

// Cells that can hold fewer than 4096 get their terms from a table, all
// tables together within 8 MiB. Two alleles make a single run that meets
// each table once, so there a table would cost more than it saves.
constexpr TermTableLimits kWalkTableLimits{4096, size_t{1} << 18};
constexpr TermTableLimits kNoTermTables{0, 0};

long double compute_weight_term(const LogFactorials& lf, const CellInfo& c, int64_t t) {
  long double lw = -log_factorial_diff_ld(lf, t, c.base);
  if (c.het) lw += static_cast<long double>(t - c.base) * kLn2;
  return lw;
}

CellTerm compute_term(const LogFactorials& lf, const CellInfo& c, int64_t t) {
  return {compute_weight_term(lf, c, t), x2_term(c, t), g2_term(c, t)};
}

// The law of U as it is walked: the weight of each U, keyed by its Z on
// exact scales and by the bits of U otherwise, relative to the scale.
struct ULawWeights {
  std::unordered_map<int64_t, long double> weight;
};

struct SumWalk {
  const TableStats& s;
  CellTermTable<CellTerm> table;
  long double scale = 0;  // log weight of the unit weight, relative to the sample's
  double tie_high = 0;    // P(t) <= P(s) within the margin when the weight is at most this
  double tie_low = 0;     // and ties with it from this weight on
  long double log_cutoff = 0;
  double cutoff = 0;
  long double log_tie_high = 0;  // the logs of tie_high and tie_low
  long double log_tie_low = 0;
  WideSum total{};
  PerTest<WideSum> sums{};
  WideSum ties{};
  // Two alleles: each tail is walked only while its tables still change a
  // sum (see TwoAlleleTails).
  bool skip_tails = false;
  ULawWeights* law = nullptr;  // when the law of U is kept
  bool exponents = false;      // some sum may carry an exponent other than 0
};

inline CellTerm term(const SumWalk& w, int32_t c, int64_t t) {
  const int32_t start = w.table.start[c];
  return start >= 0 ? w.table.terms[start + t] : compute_term(*w.s.log_factorials, w.s.cell[c], t);
}

// The weight's term alone, as compute_term makes it: the weights of a run
// are asked for without their statistics (the mode, the searches, jumps).
inline long double weight_term(const SumWalk& w, int32_t c, int64_t t) {
  const int32_t start = w.table.start[c];
  return start >= 0 ? w.table.terms[start + t].lw
                    : compute_weight_term(*w.s.log_factorials, w.s.cell[c], t);
}

// The statistics' terms alone, for the tables of a run.
inline void stat_terms(const SumWalk& w, int32_t c, int64_t t, double& x2, double& g2) {
  const int32_t start = w.table.start[c];
  if (start >= 0) {
    const CellTerm& e = w.table.terms[start + t];
    x2 += e.x2;
    g2 += e.g2;
  } else {
    x2 += x2_term(w.s.cell[c], t);
    g2 += g2_term(w.s.cell[c], t);
  }
}

Partial with_cell(const SumWalk& w, const Partial& p, int32_t c, int64_t t) {
  const CellTerm e = term(w, c, t);
  Partial q = p;
  q.lw = p.lw + e.lw;
  q.x2 = p.x2 + e.x2;
  q.g2 = p.g2 + e.g2;
  q.h = p.h + (w.s.cell[c].het ? t : 0);
  return q;
}

// The same for t homozygotes of allele i, which also count in U.
Partial with_homozygotes(const SumWalk& w, const Partial& p, int32_t i, int64_t t) {
  Partial q = with_cell(w, p, tri_index(i, i, w.s.k), t);
  const UScale& u = w.s.u;
  if (u.exact) {
    q.z += t * u.weight[i];
  } else {
    q.r += static_cast<double>(t) * u.inverse[i];
  }
  return q;
}

void set_scale(SumWalk& w, long double scale) {
  const long double shift = w.scale - scale;
  const long double factor = expl(shift);
  w.scale = scale;
  wide_scale(w.total, factor, shift);
  for (WideSum& sum : w.sums.value) wide_scale(sum, factor, shift);
  wide_scale(w.ties, factor, shift);
  for (const WideSum& sum : w.sums.value) w.exponents = w.exponents || sum.e != 0;
  w.exponents = w.exponents || w.total.e != 0 || w.ties.e != 0;
  if (w.law != nullptr && factor != 1.0L) {
    for (auto& entry : w.law->weight) entry.second *= factor;
  }
  const long double sample = expl(-scale);
  w.tie_high = static_cast<double>(sample * (1.0L + static_cast<long double>(kTieMargin)));
  w.tie_low = static_cast<double>(sample * (1.0L - static_cast<long double>(kTieMargin)));
  w.log_tie_high = log1pl(static_cast<long double>(kTieMargin)) - scale;
  w.log_tie_low = log1pl(-static_cast<long double>(kTieMargin)) - scale;
  w.log_cutoff = kLogCutoff - scale;
  w.cutoff = static_cast<double>(expl(w.log_cutoff));
}

// Ratio of the weight at x + 1 homozygotes of the first allele to that at x.
inline double ratio_up(int64_t a, int64_t b, int64_t x) {
  const int64_t h = a - 2 * x;
  const int64_t y = (b - h) / 2;
  return static_cast<double>(h) * static_cast<double>(h - 1) /
         (4.0 * static_cast<double>(x + 1) * static_cast<double>(y + 1));
}

inline uint32_t test_bit(ExactTest test, bool hit) {
  return static_cast<uint32_t>(hit) << static_cast<uint32_t>(test);
}
inline bool has_test(uint32_t hits, ExactTest test) {
  return ((hits >> static_cast<uint32_t>(test)) & 1u) != 0;
}

// Adds wt to the sums of the tests hit, one statement per test.
template <size_t... T>
inline void add_hits(PerTest<double>& sums, uint32_t hits, double wt, std::index_sequence<T...>) {
  ((((hits >> T) & 1u) != 0 ? (void)(sums.value[T] += wt) : (void)0), ...);
}

// x / 2 rounded down and up, for either sign.
inline int64_t floor_half(int64_t x) { return x >> 1; }
inline int64_t ceil_half(int64_t x) { return -((-x) >> 1); }

inline int64_t floor_div(int64_t x, int64_t d) {
  const int64_t q = x / d;
  return q * d > x ? q - 1 : q;
}

// A run's sums, in units of 2^e of the scale's weight: e is 0 unless the
// run's weights fall below the double range relative to the scale.
struct RunSums {
  double total = 0;
  PerTest<double> sums{};
  double ties = 0;
  int64_t e = 0;
};

// The bounds of a run's walk in its units.
struct RunUnits {
  double cutoff;    // tables below this are left out
  double tie_high;  // as SumWalk's
  double tie_low;
  double floor;  // below this a weight leaves these units
};

RunUnits run_units(const SumWalk& w, int64_t e) {
  if (e == 0) {
    return {w.cutoff, w.tie_high, w.tie_low, std::max(w.cutoff, kDoubleMin)};
  }
  const long double shift = static_cast<long double>(e) * kLn2;
  auto in_units = [&](long double log_value) {
    return static_cast<double>(expl(std::min(log_value - shift, 11000.0L)));
  };
  const double cutoff = in_units(w.log_cutoff);
  return {cutoff, in_units(w.log_tie_high), in_units(w.log_tie_low), std::max(cutoff, kDoubleMin)};
}

// Adds a run's sums to the walk's.
inline void add_run(SumWalk& w, const RunSums& r) {
  if (r.e == 0 && !w.exponents) {
    // Every sum still a plain extended-precision sum.
    w.total.v += r.total;
    for (size_t t = 0; t < kExactTestCount; ++t) w.sums.value[t].v += r.sums.value[t];
    w.ties.v += r.ties;
  } else {
    w.exponents = true;
    wide_add(w.total, r.total, r.e);
    for (ExactTest test : kExactTests) wide_add(w.sums[test], r.sums[test], r.e);
    wide_add(w.ties, r.ties, r.e);
  }
}

// The same, clearing them for the run to go on in other units.
void flush_run(SumWalk& w, RunSums& r) {
  add_run(w, r);
  r.total = 0;
  r.sums = {};
  r.ties = 0;
}

// One run of the last two alleles, a and b copies left after the cells of
// p: its tables are x homozygotes of the first, h = a - 2x heterozygotes
// and y = (b - a)/2 + x homozygotes of the second, x in [x_lo, x_hi].
struct Run {
  SumWalk& w;
  const TableStats& s;
  int64_t a, b;
  const Partial& p;
  int32_t iu, iuv, iv;
  int64_t x_lo, x_hi;
  // Along the run H falls and U rises with x, so the heterozygote and score
  // tests take the tables from or up to these.
  int64_t x_deficit = 0, x_excess = 0, x_u_deficit = 0, x_u_excess = 0;
  RunSums sums;
  RunUnits units{};

  Run(SumWalk& walk, int64_t a_left, int64_t b_left, const Partial& before)
      : w(walk),
        s(walk.s),
        a(a_left),
        b(b_left),
        p(before),
        iu(tri_index(s.k - 2, s.k - 2, s.k)),
        iuv(tri_index(s.k - 2, s.k - 1, s.k)),
        iv(tri_index(s.k - 1, s.k - 1, s.k)),
        x_lo(a > b ? (a - b) / 2 : 0),
        x_hi(a / 2) {
    const int64_t d = a + p.h - s.h_sample;
    x_deficit = ceil_half(d);
    x_excess = floor_half(d);
    set_u_bounds();
  }

  int64_t y_of(int64_t x) const { return (b - a) / 2 + x; }

  // Z of the table at x (exact scales): c + x D.
  int64_t z_base() const { return s.u.exact ? p.z + (b - a) / 2 * s.u.weight[s.k - 1] : 0; }
  int64_t z_step() const { return s.u.exact ? s.u.weight[s.k - 2] + s.u.weight[s.k - 1] : 0; }
  double r_at(int64_t x) const {
    return p.r + static_cast<double>(x) * s.u.inverse[s.k - 2] +
           static_cast<double>(y_of(x)) * s.u.inverse[s.k - 1];
  }

  void set_u_bounds() {
    if (s.u.exact) {
      const int64_t rest = s.u.z_sample - z_base();
      const int64_t step = z_step();
      x_u_excess = floor_div(rest, step);
      x_u_deficit = x_u_excess * step == rest ? x_u_excess : x_u_excess + 1;
      return;
    }
    // R rises with x: the first table from r_low on, the last up to r_high,
    // each found from the straight line's solution and settled on the values
    // of R as the tables' own.
    const double slope = s.u.inverse[s.k - 2] + s.u.inverse[s.k - 1];
    auto first_at_least = [&](double bound) {
      const double guess = std::ceil((bound - r_at(0)) / slope);
      int64_t x = static_cast<int64_t>(
          std::clamp(guess, static_cast<double>(x_lo), static_cast<double>(x_hi + 1)));
      while (x > x_lo && r_at(x - 1) >= bound) --x;
      while (x <= x_hi && r_at(x) < bound) ++x;
      return x;
    };
    x_u_deficit = first_at_least(s.u.r_low);
    int64_t last = first_at_least(s.u.r_high) - 1;
    while (last + 1 <= x_hi && r_at(last + 1) <= s.u.r_high) ++last;
    x_u_excess = last;
  }

  // The key of a table's U in the law.
  int64_t law_key(int64_t x) const {
    if (s.u.exact) return z_base() + x * z_step();
    return std::bit_cast<int64_t>(u_of_r(s.u, r_at(x)));
  }

  [[gnu::always_inline]] long double log_weight(int64_t x) const {
    const int64_t h = a - 2 * x;
    return p.lw + weight_term(w, iu, x) + weight_term(w, iuv, h) + weight_term(w, iv, y_of(x)) -
           w.scale;
  }

  [[gnu::always_inline]] void stats(int64_t x, double& x2, double& g2) const {
    x2 = p.x2;
    g2 = p.g2;
    stat_terms(w, iu, x, x2, g2);
    stat_terms(w, iuv, a - 2 * x, x2, g2);
    stat_terms(w, iv, y_of(x), x2, g2);
  }

  // One of the two, summed as stats sums it: the searches for a threshold
  // need one statistic, and X2 costs no logarithm.
  double stat(int64_t x, bool of_x2) const {
    double sum = of_x2 ? p.x2 : p.g2;
    const int32_t cells[] = {iu, iuv, iv};
    const int64_t counts[] = {x, a - 2 * x, y_of(x)};
    for (size_t i = 0; i < 3; ++i) {
      const int32_t start = w.table.start[cells[i]];
      const CellInfo& c = s.cell[cells[i]];
      if (start >= 0) {
        const CellTerm& e = w.table.terms[start + counts[i]];
        sum += of_x2 ? e.x2 : e.g2;
      } else {
        sum += of_x2 ? x2_term(c, counts[i]) : g2_term(c, counts[i]);
      }
    }
    return sum;
  }

  // The units of the run's entry, and while the walk is below them (deep)
  // its sums in those units, set aside: the tables within the double range
  // are summed in the same order whatever lies below it.
  int64_t main_e = 0;
  bool deep = false;
  RunSums main_sums;

  void enter_units(int64_t e) {
    if (e == sums.e) return;
    if (deep && e == main_e) {
      flush_run(w, sums);
      sums = main_sums;
      deep = false;
    } else if (!deep) {
      main_sums = sums;
      sums = RunSums{};
      sums.e = e;
      deep = true;
    } else {
      flush_run(w, sums);
      sums.e = e;
    }
    units = run_units(w, e);
  }

  // A weight exp(lw) relative to the scale in the run's units, leaving them
  // for units of its own when it would lie outside the double's full range.
  double in_units(long double lw) {
    const long double here = lw - static_cast<long double>(sums.e) * kLn2;
    if (here > kLogDoubleMin + 64 && here < 600) return static_cast<double>(expl(here));
    const auto e = static_cast<int64_t>(floorl(lw / kLn2));
    enter_units(e);
    return static_cast<double>(expl(lw - static_cast<long double>(e) * kLn2));
  }

  struct Side {
    double x2;  // the statistics of the table before, nearer the mode
    double g2;
    bool settled = false;  // both statistics reach their thresholds from here on
    int64_t dir = 1;       // +1 towards x_hi, -1 towards x_lo
    int64_t stats_from = 0;  // tables before this one reach neither threshold
  };

  // Where along the side from x0 (dir) the statistics may first reach their
  // thresholds: from the mode both rise, after at most a few tables, and
  // keep rising (convex), so the first table reaching each is found by
  // bisection; until the nearer one no table needs its statistics
  // computed. Without a clear rise near the mode, every table computes
  // them.
  int64_t first_table_with_stats(int64_t x0, int64_t dir) const;

  // The offset from m (in dir) of the first table whose X2, computed as
  // the quadratic in x it is along the run, reaches bound: a guess for the
  // searches, 0 when there is none.
  int64_t x2_crossing(double bound, int64_t dir, int64_t m) const;

  // The bits of the tests that a bound of x decides, at x.
  uint32_t bound_bits(int64_t x) const {
    return test_bit(ExactTest::kDeficit, x >= x_deficit) |
           test_bit(ExactTest::kExcess, x <= x_excess) |
           test_bit(ExactTest::kUDeficit, x >= x_u_deficit) |
           test_bit(ExactTest::kUExcess, x <= x_u_excess);
  }

  // Adds the table at x, of weight wt in the run's units; returns the tests
  // it hits, bit i for test i.
  [[gnu::always_inline]] uint32_t add(Side& side, int64_t x, double wt) {
    // Along a run X2 and G2 are convex functions of x (each cell's term is
    // convex in its count, and the counts are linear in x), so walking
    // outwards from the mode, once a statistic has risen from one table to
    // the next and reached its threshold, every later table on that side
    // reaches it too: from there on its terms, the logarithms of G2 above
    // all, need not be computed. The sums take the same tables in the same
    // order, so every figure stays what computing each table gives (a
    // table's computed statistic could only differ from the one taken for
    // it where it lies within rounding of the tie threshold).
    if (!side.settled && (x - side.stats_from) * side.dir >= 0) {
      double tx2, tg2;
      stats(x, tx2, tg2);
      side.settled =
          tx2 >= s.x2_threshold && tg2 >= s.g2_threshold && tx2 > side.x2 && tg2 > side.g2;
      side.x2 = tx2;
      side.g2 = tg2;
    }
    // Settled, the side's last statistics stand for the table's: both hit.
    const uint32_t hit = test_bit(ExactTest::kProb, wt <= units.tie_high) |
                         test_bit(ExactTest::kX2e, side.x2 >= s.x2_threshold) |
                         test_bit(ExactTest::kLlr, side.g2 >= s.g2_threshold) |
                         bound_bits(x);
    sums.total += wt;
    add_hits(sums.sums, hit, wt, std::make_index_sequence<kExactTestCount>{});
    if (wt <= units.tie_high && wt >= units.tie_low) sums.ties += wt;
    if (w.law != nullptr) {
      w.law->weight[law_key(x)] += ldexpl(static_cast<long double>(wt), clamp_exponent(sums.e));
    }
    return hit;
  }

  // Walks on from the table at x (weight wt, added) in dir while nothing
  // but the weight changes from table to table: no law kept, no table set
  // aside (quiet), and the side's statistics settled or not due yet, so
  // that the X2 and G2 bits stay what they are. The sums live in registers
  // meanwhile and take each table as add gives it (a test not hit adds
  // +0.0, which leaves a sum of positive weights as it is). Stops before
  // a table it cannot take (x, wt: the last one added; false), or after
  // one that left the total unchanged (true, with its hits), for
  // TwoAlleleTails to decide.
  template <int64_t Dir>
  bool stretch(const Side& side, int64_t quiet_until, int64_t& x, double& wt, uint32_t& hit);

  void walk(int64_t x0, long double lw0);
};

template <int64_t Dir>
bool Run::stretch(const Side& side, int64_t quiet_until, int64_t& x, double& wt, uint32_t& hit) {
  if (w.law != nullptr || (quiet_until - (x + Dir)) * Dir > 0) return false;
  // The last table the stretch may take: before the side's statistics are
  // due, or the run's end.
  int64_t last = Dir > 0 ? x_hi : x_lo;
  if (!side.settled) last = std::clamp(side.stats_from - Dir, std::min(x, last), std::max(x, last));
  if ((last - x) * Dir <= 0) return false;
  const uint32_t fixed = test_bit(ExactTest::kX2e, side.x2 >= s.x2_threshold) |
                         test_bit(ExactTest::kLlr, side.g2 >= s.g2_threshold);
  const double floor = units.floor, tie_high = units.tie_high, tie_low = units.tie_low;
  const bool skip = w.skip_tails;
  double total = sums.total, ties = sums.ties;
  static_assert(kExactTestCount == 7, "a register per test's sum");
  const std::array<double, kExactTestCount>& before = sums.sums.value;
  double s0 = before[0], s1 = before[1], s2 = before[2], s3 = before[3], s4 = before[4],
         s5 = before[5], s6 = before[6];
  int64_t at = x;
  double weight = wt;
  bool decide = false;
  uint32_t h = 0;
  // The counts of ratio_up's table (at for Dir > 0, at - 1 below), kept as
  // doubles: integers, exact, so every ratio is the one ratio_up gives.
  const int64_t rx = Dir > 0 ? at : at - 1;
  double hd = static_cast<double>(a - 2 * rx);
  double x1 = static_cast<double>(rx + 1);
  double y1 = static_cast<double>((b - (a - 2 * rx)) / 2 + 1);
  // The bounds of x turn their tests' bits at these tables (the first
  // table, in Dir, with the other bit); between turns they stand.
  const int64_t turns[] = {Dir > 0 ? x_deficit : x_deficit - 1, Dir > 0 ? x_excess + 1 : x_excess,
                           Dir > 0 ? x_u_deficit : x_u_deficit - 1,
                           Dir > 0 ? x_u_excess + 1 : x_u_excess};
  bool stop = false;
  while (at != last && !stop) {
    const int64_t first = at + Dir;
    const uint32_t bits = fixed | bound_bits(first);
    int64_t until = last;  // the last table with these bits
    for (const int64_t turn : turns) {
      if ((turn - first) * Dir > 0 && (turn - Dir - until) * Dir < 0) until = turn - Dir;
    }
    while (at != until) {
      const double ratio = hd * (hd - 1.0) / (4.0 * x1 * y1);
      const double next = Dir > 0 ? weight * ratio : weight / ratio;
      if (next < floor) {
        stop = true;
        break;
      }
      at += Dir;
      hd -= static_cast<double>(2 * Dir);
      x1 += static_cast<double>(Dir);
      y1 += static_cast<double>(Dir);
      weight = next;
      h = bits | test_bit(ExactTest::kProb, weight <= tie_high);
      total += weight;
      s0 += (h & 1u) != 0 ? weight : 0.0;
      s1 += (h & 2u) != 0 ? weight : 0.0;
      s2 += (h & 4u) != 0 ? weight : 0.0;
      s3 += (h & 8u) != 0 ? weight : 0.0;
      s4 += (h & 16u) != 0 ? weight : 0.0;
      s5 += (h & 32u) != 0 ? weight : 0.0;
      s6 += (h & 64u) != 0 ? weight : 0.0;
      if (weight <= tie_high && weight >= tie_low) ties += weight;
      if (skip && total + weight == total) {
        decide = true;
        stop = true;
        break;
      }
    }
  }
  sums.total = total;
  sums.ties = ties;
  sums.sums.value = {s0, s1, s2, s3, s4, s5, s6};
  x = at;
  wt = weight;
  hit = h;
  return decide;
}

// Where the tables of a two-allele tail stop changing the run's total, the
// tail is followed only as far as some sum can still change: a sum changes
// no more once a table does not change it (the weights only fall from the
// mode outwards, and adding a smaller weight to a sum a larger one left
// unchanged leaves it unchanged again), and a sum the tail has not reached
// yet changes first at a table found directly, for each test in its own way:
// p_prob's and the ties' where the weights fall below the sample's, X2's and
// G2's where the rising statistic reaches its threshold, the others' at a
// bound of x. Stretches of unchanging tables are skipped: walked without
// adding them up to kWalkWithoutAdding tables, so that every figure stays
// as the full walk makes it, and jumped over beyond, the weight taken
// afresh from the log-factorials. The log-factorials hold ln t! to some
// 1e-19 of itself, near 1e-13 absolute at t of 10^5, where a chain of
// ratios over a few thousand tables holds its weight to 1e-15: the jump is
// kept for stretches so long (beyond some 40 standard deviations of H up to
// N = 10^6) that the p they lead to lies below the double range, where only
// its log10 is shown.
struct TwoAlleleTails {
  static constexpr int64_t kWalkWithoutAdding = 8192;

  enum class Step { kContinue, kStop, kQuiet, kJump };
  struct Decision {
    Step step;
    int64_t target = 0;
  };

  const Run& run;
  int64_t dir;  // +1 towards x_hi, -1 towards x_lo
  int64_t end() const { return dir > 0 ? run.x_hi : run.x_lo; }

  // The first position beyond x (in dir, up to the end) where pred holds,
  // for a predicate false and then true along the tail; or none.
  template <typename Pred>
  bool first_beyond(int64_t x, Pred pred, int64_t& at) const {
    int64_t lo = 1, hi = (end() - x) * dir;
    if (hi < 1 || !pred(end())) return false;
    while (lo < hi) {
      const int64_t mid = lo + (hi - lo) / 2;
      if (pred(x + dir * mid)) {
        hi = mid;
      } else {
        lo = mid;
        ++lo;
      }
    }
    at = x + dir * lo;
    return true;
  }

  // A bound of x from which (dir > 0: x >= bound) or up to which (x <=
  // bound) the tables hit.
  bool reach(int64_t x, int64_t bound, bool from, int64_t& at) const {
    if (from != (dir > 0)) return false;
    if ((bound - x) * dir <= 0 || (bound - end()) * dir > 0) return false;
    at = bound;
    return true;
  }

  enum class Next { kNone, kAt, kUnknown };

  // Where a test not hit at x is hit next along the tail.
  Next next_hit(ExactTest test, int64_t x, int64_t& at) const {
    const auto found = [](bool f) { return f ? Next::kAt : Next::kNone; };
    switch (test) {
      case ExactTest::kProb:
        return found(first_beyond(
            x, [&](int64_t y) { return run.log_weight(y) <= run.w.log_tie_high; }, at));
      case ExactTest::kX2e:
      case ExactTest::kLlr: {
        const bool x2 = test == ExactTest::kX2e;
        auto stat = [&](int64_t y) { return run.stat(y, x2); };
        if (x == end()) return Next::kNone;
        if (stat(x + dir) <= stat(x)) return Next::kUnknown;
        const double bound = x2 ? run.s.x2_threshold : run.s.g2_threshold;
        return found(first_beyond(
            x, [&](int64_t y) { return stat(y) >= bound; }, at));
      }
      case ExactTest::kDeficit:
        return found(reach(x, run.x_deficit, true, at));
      case ExactTest::kExcess:
        return found(reach(x, run.x_excess, false, at));
      case ExactTest::kUDeficit:
        return found(reach(x, run.x_u_deficit, true, at));
      case ExactTest::kUExcess:
        return found(reach(x, run.x_u_excess, false, at));
    }
    return Next::kUnknown;
  }

  // After the table at x (weight wt, hitting `hit`) left the run's total
  // unchanged: what the tail still holds.
  Decision decide(int64_t x, double wt, uint32_t hit) const {
    const RunSums& sums = run.sums;
    int64_t target = 0;
    bool any = false;
    auto nearer = [&](int64_t at) {
      if (!any || (at - target) * dir < 0) target = at;
      any = true;
    };
    for (ExactTest test : kExactTests) {
      const double sum = sums.sums[test];
      if (sum + wt == sum) continue;
      if (has_test(hit, test)) return {Step::kContinue};
      int64_t at = 0;
      const Next next = next_hit(test, x, at);
      if (next == Next::kUnknown) return {Step::kContinue};
      if (next == Next::kAt) nearer(at);
    }
    if (sums.ties + wt != sums.ties && wt >= run.units.tie_low) {
      if (wt <= run.units.tie_high) return {Step::kContinue};
      int64_t at = 0;
      if (next_hit(ExactTest::kProb, x, at) == Next::kAt) nearer(at);
    }
    if (!any) return {Step::kStop};
    const int64_t distance = (target - x) * dir;
    if (distance <= 1) return {Step::kContinue};
    return {distance <= kWalkWithoutAdding ? Step::kQuiet : Step::kJump, target};
  }
};

// The first offset in [0, n) where pred holds, for a pred false and then
// true along them (n when it never holds), searched from a guess outwards:
// steps doubling away from the guess until the answer is bracketed, then a
// bisection of the bracket.
template <typename Pred>
int64_t first_true(int64_t n, int64_t guess, Pred pred) {
  if (n <= 0) return 0;
  guess = std::clamp<int64_t>(guess, 0, n - 1);
  int64_t lo = 0, hi = n;  // pred false before lo, true at hi (or hi == n)
  if (pred(guess)) {
    hi = guess;
    for (int64_t step = 1;; step *= 2) {
      const int64_t probe = hi - step;
      if (probe < 0) break;
      if (!pred(probe)) {
        lo = probe + 1;
        break;
      }
      hi = probe;
    }
  } else {
    lo = guess + 1;
    for (int64_t step = 1; lo < n; step *= 2) {
      const int64_t probe = std::min(lo + step - 1, n - 1);
      if (pred(probe)) {
        hi = probe;
        break;
      }
      lo = probe + 1;
    }
  }
  while (lo < hi) {
    const int64_t mid = lo + (hi - lo) / 2;
    if (pred(mid)) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  return lo;
}

int64_t Run::x2_crossing(double bound, int64_t dir, int64_t m) const {
  // Each cell's count is c0 + c1 x, its term (c0 + c1 x - e)^2 / e.
  const CellInfo* cells[] = {&s.cell[iu], &s.cell[iuv], &s.cell[iv]};
  const double c0[] = {0.0, static_cast<double>(a), static_cast<double>(y_of(0))};
  const double c1[] = {1.0, -2.0, 1.0};
  double qa = 0, qb = 0, qc = p.x2 - bound;
  for (size_t i = 0; i < 3; ++i) {
    const double d = c0[i] - cells[i]->e;
    qa += c1[i] * c1[i] * cells[i]->inv_e;
    qb += 2.0 * c1[i] * d * cells[i]->inv_e;
    qc += d * d * cells[i]->inv_e;
  }
  const double disc = qb * qb - 4.0 * qa * qc;
  if (!(qa > 0) || !(disc >= 0)) return 0;
  const double root = (-qb + static_cast<double>(dir) * std::sqrt(disc)) / (2.0 * qa);
  const double offset = (root - static_cast<double>(m)) * static_cast<double>(dir);
  if (!(offset > 0)) return 0;
  return offset < 9e15 ? static_cast<int64_t>(std::ceil(offset)) : int64_t{1} << 53;
}

int64_t Run::first_table_with_stats(int64_t x0, int64_t dir) const {
  const int64_t end = dir > 0 ? x_hi : x_lo;
  double x2 = 0, g2 = 0;
  stats(x0, x2, g2);
  if (x2 >= s.x2_threshold || g2 >= s.g2_threshold) return x0;
  // A rise well above rounding (1e-12 relative) from table m to the next:
  // beyond it the computed statistics rise strictly too.
  constexpr double kClearRise = 1e-12;
  int64_t m = x0;
  for (int step = 0;; ++step) {
    if (m == end || step == 8) return x0;
    double nx2 = 0, ng2 = 0;
    stats(m + dir, nx2, ng2);
    const bool rising = nx2 - x2 > kClearRise * nx2 && ng2 - g2 > kClearRise * ng2;
    m += dir;
    x2 = nx2;
    g2 = ng2;
    if (x2 >= s.x2_threshold || g2 >= s.g2_threshold) return m;
    if (rising) break;
  }
  // The first table from m on (in dir) that reaches a threshold, or end + dir.
  // From m on each statistic rises strictly, so there is one such table
  // whatever way it is found: the search starts where X2, a quadratic in x
  // along the run, meets the threshold (for G2 too), and
  // widens from there (half G2 lies near X2 / 2); a good start costs two or
  // three tables instead of a bisection of the whole side.
  const int64_t count = (end - m) * dir + 1;
  auto first_reaching = [&](bool of_x2) {
    const double bound = of_x2 ? s.x2_threshold : s.g2_threshold;
    auto reaches = [&](int64_t offset) { return stat(m + dir * offset, of_x2) >= bound; };
    const int64_t guess = x2_crossing(of_x2 ? bound : 2.0 * bound, dir, m);
    return m + dir * first_true(count, guess, reaches);
  };
  const int64_t c = dir > 0 ? std::min(first_reaching(true), first_reaching(false))
                            : std::max(first_reaching(true), first_reaching(false));
  // One table early, for good measure.
  return c - dir;
}

// Walks the run from its mode x0 (log weight lw0 relative to the scale)
// outwards, first up, then down.
void Run::walk(int64_t x0, long double lw0) {
  // lw0 lies within [log_cutoff, 300]; a double exp loses nothing where it
  // stays within the double range, and below it the run takes units of its
  // own.
  double w0 = 0;
  if (lw0 >= kLogDoubleMin) {
    w0 = std::exp(static_cast<double>(lw0));
  } else {
    main_e = static_cast<int64_t>(floorl(lw0 / kLn2));
    sums.e = main_e;
    w0 = static_cast<double>(expl(lw0 - static_cast<long double>(main_e) * kLn2));
  }
  units = run_units(w, main_e);
  constexpr double kNoTableBefore = std::numeric_limits<double>::infinity();
  Side up{kNoTableBefore, kNoTableBefore, false, 1, x0};
  add(up, x0, w0);
  // Each side starts from the mode's statistics.
  Side down{up.x2, up.g2, false, -1, x0};

  for (const int64_t dir : {int64_t{1}, int64_t{-1}}) {
    Side& side = dir > 0 ? up : down;
    if (w.skip_tails && !side.settled) side.stats_from = first_table_with_stats(x0, dir);
    const TwoAlleleTails tails{*this, dir};
    enter_units(main_e);
    double wt = w0;
    int64_t x = x0;
    int64_t quiet_until = x0;  // tables before this one change no sum: not added
    while (dir > 0 ? x < x_hi : x > x_lo) {
      uint32_t hit = 0;
      const bool stopped = dir > 0 ? stretch<1>(side, quiet_until, x, wt, hit)
                                   : stretch<-1>(side, quiet_until, x, wt, hit);
      if (!stopped) {
        // The next table, one the stretch could not take.
        if (dir > 0 ? x >= x_hi : x <= x_lo) break;
        double next = dir > 0 ? wt * ratio_up(a, b, x) : wt / ratio_up(a, b, x - 1);
        if (next < units.floor) {
          if (units.cutoff >= kDoubleMin) break;
          // The cutoff lies below the double's full precision in these
          // units: the walk goes on in units of its own.
          const int shift = -std::ilogb(wt);
          enter_units(sums.e - shift);
          wt = std::ldexp(wt, shift);
          next = dir > 0 ? wt * ratio_up(a, b, x) : wt / ratio_up(a, b, x - 1);
          if (next < units.cutoff) break;
        }
        x += dir;
        wt = next;
        if ((quiet_until - x) * dir > 0) continue;
        hit = add(side, x, wt);
        if (!w.skip_tails || sums.total + wt != sums.total) continue;
      }
      const TwoAlleleTails::Decision d = tails.decide(x, wt, hit);
      if (d.step == TwoAlleleTails::Step::kStop) break;
      if (d.step == TwoAlleleTails::Step::kQuiet) quiet_until = d.target;
      if (d.step == TwoAlleleTails::Step::kJump) {
        // Land on the table before the target, which changes no sum.
        const int64_t land = d.target - dir;
        const long double lw = log_weight(land);
        if (lw < w.log_cutoff) break;
        wt = in_units(lw);
        x = land;
        side = Side{kNoTableBefore, kNoTableBefore, false, dir, x};
      }
    }
  }
  enter_units(main_e);
  add_run(w, sums);
}

// The run of the last two alleles, a and b copies left, after the cells p.
void sum_last_two(SumWalk& w, int64_t a, int64_t b, const Partial& p) {
  Run run(w, a, b, p);
  const int64_t x_lo = run.x_lo;
  const int64_t x_hi = run.x_hi;

  // The run's most probable table: start near a^2 / (2(a + b)) homozygotes
  // and climb while the next table weighs more.
  int64_t x0 = a + b > 0 ? static_cast<int64_t>(static_cast<double>(a) * static_cast<double>(a) /
                                                (2.0 * static_cast<double>(a + b)))
                         : 0;
  x0 = std::clamp(x0, x_lo, x_hi);
  while (x0 < x_hi && ratio_up(a, b, x0) > 1.0) ++x0;
  while (x0 > x_lo && ratio_up(a, b, x0 - 1) < 1.0) --x0;

  long double lw0 = run.log_weight(x0);
  if (lw0 > kLogRescale) {
    set_scale(w, w.scale + lw0);
    lw0 = 0;
  }
  if (lw0 < w.log_cutoff) return;  // the whole run lies below the cutoff
  run.walk(x0, lw0);
}

}  // namespace

namespace {

struct CountVisitor {
  const TableStats& s;
  const Placement& at;
  uint64_t limit;
  std::vector<std::vector<uint64_t>> memo{};
  int32_t memo_from = 0;
  // Per memoised row: where its count goes and the count before its walk.
  std::vector<size_t> memo_at{};
  std::vector<uint64_t> before{};
  uint64_t count = 0;
  uint64_t dead_ends = 0;

  WalkStep add(uint64_t tables) {
    count += tables;
    return count > limit ? WalkStep::kStop : WalkStep::kContinue;
  }
  WalkStep leaf() {
    const int64_t a = at.rem[s.k - 2], b = at.rem[s.k - 1];
    return add(static_cast<uint64_t>(a / 2 - (a > b ? (a - b) / 2 : 0) + 1));
  }
  WalkStep row_entry(size_t d) {
    const int32_t row = at.levels[d].row;
    if (row < memo_from) return WalkStep::kContinue;
    memo_at[row] = memo_index(s, at.rem, row);
    const uint64_t known = memo[row][memo_at[row]];
    if (known == kNotCounted) {
      before[row] = count;
      return WalkStep::kContinue;
    }
    return add(known) == WalkStep::kStop ? WalkStep::kStop : WalkStep::kSkip;
  }
  WalkStep dead_end() {
    return ++dead_ends > limit + 1024 ? WalkStep::kStop : WalkStep::kContinue;
  }
  void placed(size_t) {}
  void row_done(size_t d) {
    const int32_t row = at.levels[d].row;
    if (row >= memo_from) memo[row][memo_at[row]] = count - before[row];
  }
};

// Whether the sample's tables are known to be more than `limit` without
// walking them. Two individuals a/b and c/d of four distinct alleles can be
// a/b c/d, a/c b/d or a/d b/c, the rest of the table as it is; p such pairs
// over distinct alleles give 3^p distinct tables. Thousands of alleles of a
// copy or two hold hundreds of such pairs, where the walk would cross
// millions of levels before its first table.
bool tables_surely_beyond(const TableStats& s, uint64_t limit) {
  std::vector<bool> used(static_cast<size_t>(s.k), false);
  uint64_t fresh = 0;  // heterozygotes of alleles no other one taken has
  uint64_t tables = 1;
  for (int32_t i = 0; i < s.k; ++i) {
    for (int32_t j = i + 1; j < s.k && !used[static_cast<size_t>(i)]; ++j) {
      if (used[static_cast<size_t>(j)] || s.cell[tri_index(i, j, s.k)].base == 0) continue;
      used[static_cast<size_t>(i)] = used[static_cast<size_t>(j)] = true;
      if (++fresh % 2 == 1) continue;
      tables *= 3;
      if (tables > limit) return true;
    }
  }
  return false;
}

}  // namespace

uint64_t count_tables(const TableStats& s, uint64_t limit) {
  if (s.k == 1) return 1;
  if (s.k == 2) {
    // One run: x homozygotes of the rarer allele, 0 to half its copies.
    const uint64_t tables = static_cast<uint64_t>(s.allele[0] / 2) + 1;
    return tables > limit ? limit + 1 : tables;
  }
  if (tables_surely_beyond(s, limit)) return limit + 1;
  Placement at(s, /*down=*/true);
  CountVisitor visit{s, at, limit};
  visit.memo_from = prepare_memo(s, visit.memo);
  visit.memo_at.resize(static_cast<size_t>(s.k));
  visit.before.resize(static_cast<size_t>(s.k));
  return walk_placements(at, visit) ? visit.count : limit + 1;
}

namespace {

struct SumVisitor {
  SumWalk& w;
  const Placement& at;
  std::vector<Partial> partial;  // per level: the cells fixed before it

  WalkStep leaf() {
    const int32_t k = w.s.k;
    sum_last_two(w, at.rem[k - 2], at.rem[k - 1], partial[at.depth()]);
    return WalkStep::kContinue;
  }
  WalkStep row_entry(size_t) { return WalkStep::kContinue; }
  WalkStep dead_end() { return WalkStep::kContinue; }
  // The cells level d's value fixes: a heterozygote, or the row's
  // homozygotes and its partners of the last allele.
  void placed(size_t d) {
    const int32_t k = w.s.k;
    const Level& lv = at.levels[d];
    const int32_t i = lv.row;
    if (lv.last_pair) {
      partial[d + 1] = with_cell(w, with_homozygotes(w, partial[d], i, at.value[d]),
                                 tri_index(i, k - 1, k), at.partners(d));
    } else {
      partial[d + 1] = with_cell(w, partial[d], tri_index(i, lv.col, k), at.value[d]);
    }
  }
  void row_done(size_t) {}
};

// The law's weights as probabilities, by ascending U.
ULaw finish_law(const TableStats& s, const ULawWeights& law, const WideSum& total) {
  std::vector<std::pair<double, double>> points;
  points.reserve(law.weight.size());
  for (const auto& [key, weight] : law.weight) {
    const double u = s.u.exact ? u_of_z(s.u, key) : std::bit_cast<double>(key);
    const double p = static_cast<double>(wide_ratio(WideSum{weight, 0}, total));
    if (p > 0) points.emplace_back(u, p);
  }
  std::sort(points.begin(), points.end());
  ULaw out;
  for (const auto& [u, p] : points) {
    if (!out.u.empty() && out.u.back() == u) {
      out.p.back() += p;
    } else {
      out.u.push_back(u);
      out.p.push_back(p);
    }
  }
  return out;
}

}  // namespace

ExactPValues enumerate_tables(const TableStats& s, const EnumerationChoices& choices) {
  const bool keep_u_law = choices.keep_u_law;
  ExactPValues out;
  const int32_t k = s.k;
  if (k == 1) {
    out.prob_ties = 1;
    out.prob_mid = 0.5;
    out.log10_prob_mid = std::log10(0.5);
    if (keep_u_law) out.u_law = ULaw{{s.u.u_sample}, {1.0}};
    return out;
  }
  const LogFactorials& lf = *s.log_factorials;
  SumWalk w{s, build_cell_term_table<CellTerm>(
                   s, k > 2 ? kWalkTableLimits : kNoTermTables,
                   [&](const CellInfo& c, int64_t t) { return compute_term(lf, c, t); })};
  ULawWeights law;
  if (keep_u_law) w.law = &law;
  w.skip_tails = k == 2 && !keep_u_law && !choices.walk_every_tail;
  set_scale(w, 0);
  Placement at(s);
  SumVisitor visit{w, at, std::vector<Partial>(at.depth() + 1)};
  walk_placements(at, visit);

  auto ratio = [&](const WideSum& part) {
    return std::clamp(static_cast<double>(wide_ratio(part, w.total)), 0.0, 1.0);
  };
  for (ExactTest test : kExactTests) out.p[test] = ratio(w.sums[test]);
  out.prob_ties = ratio(w.ties);
  const WideSum& prob = w.sums[ExactTest::kProb];
  const WideSum mid = wide_less_half(prob, w.ties);
  const double p_prob = out.p[ExactTest::kProb];
  // Where p_prob is a normal double the mid-p is taken from the two rounded
  // figures, as it always was (within a unit of its last place); below, from
  // the sums.
  out.prob_mid = p_prob >= kDoubleMin
                     ? std::max(0.0, p_prob - 0.5 * out.prob_ties)
                     : std::clamp(static_cast<double>(wide_ratio(mid, w.total)), 0.0, 1.0);
  const long double ln10 = logl(10.0L);
  out.log10_prob = static_cast<double>(std::min(0.0L, wide_log_ratio(prob, w.total) / ln10));
  out.log10_prob_mid = static_cast<double>(std::min(0.0L, wide_log_ratio(mid, w.total) / ln10));
  if (keep_u_law) out.u_law = finish_law(s, law, w.total);
  return out;
}
