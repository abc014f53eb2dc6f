#include "exact/enumerate.h"

#include <algorithm>
#include <cmath>
#include <limits>
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

struct Partial {
  long double lw = 0;  // log weight of the cells fixed so far, relative to the sample's
  double x2 = 0;
  double g2 = 0;
  int64_t h = 0;
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

CellTerm compute_term(const LogFactorials& lf, const CellInfo& c, int64_t t) {
  long double lw = -log_factorial_diff_ld(lf, t, c.base);
  if (c.het) lw += static_cast<long double>(t - c.base) * kLn2;
  return {lw, x2_term(c, t), g2_term(c, t)};
}

struct SumWalk {
  const TableStats& s;
  CellTermTable<CellTerm> table;
  long double scale = 0;  // log weight of the unit weight, relative to the sample's
  double tie_high = 0;    // P(t) <= P(s) within the margin when the weight is at most this
  double tie_low = 0;     // and ties with it from this weight on
  long double log_cutoff = 0;
  double cutoff = 0;
  long double total = 0;
  PerTest<long double> sums{};
  long double ties = 0;
};

inline CellTerm term(const SumWalk& w, int32_t c, int64_t t) {
  const int32_t start = w.table.start[c];
  return start >= 0 ? w.table.terms[start + t] : compute_term(*w.s.log_factorials, w.s.cell[c], t);
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
  Partial q;
  q.lw = p.lw + e.lw;
  q.x2 = p.x2 + e.x2;
  q.g2 = p.g2 + e.g2;
  q.h = p.h + (w.s.cell[c].het ? t : 0);
  return q;
}

void set_scale(SumWalk& w, long double scale) {
  const long double factor = expl(w.scale - scale);
  w.scale = scale;
  w.total *= factor;
  for (long double& sum : w.sums.value) sum *= factor;
  w.ties *= factor;
  const long double sample = expl(-scale);
  w.tie_high = static_cast<double>(sample * (1.0L + static_cast<long double>(kTieMargin)));
  w.tie_low = static_cast<double>(sample * (1.0L - static_cast<long double>(kTieMargin)));
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

// The run of the last two alleles, a and b copies left, after the cells p.
void sum_last_two(SumWalk& w, int64_t a, int64_t b, const Partial& p) {
  const TableStats& s = w.s;
  const int32_t k = s.k;
  const int64_t x_lo = a > b ? (a - b) / 2 : 0;
  const int64_t x_hi = a / 2;
  const int32_t iu = tri_index(k - 2, k - 2, k);
  const int32_t iuv = tri_index(k - 2, k - 1, k);
  const int32_t iv = tri_index(k - 1, k - 1, k);

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
  long double lw0 = p.lw + term(w, iu, x0).lw + term(w, iuv, h0).lw + term(w, iv, y0).lw - w.scale;
  if (lw0 > kLogRescale) {
    set_scale(w, w.scale + lw0);
    lw0 = 0;
  }
  if (lw0 < w.log_cutoff) return;  // the whole run lies below the cutoff

  double total = 0, ties = 0;
  PerTest<double> sums{};
  const double tie_high = w.tie_high;
  const double tie_low = w.tie_low;
  // Along a run X2 and G2 are convex functions of x (each cell's term is
  // convex in its count, and the counts are linear in x), so walking
  // outwards from the mode, once a statistic has risen from one table to
  // the next and reached its threshold, every later table on that side
  // reaches it too: from there on its terms, the logarithms of G2 above
  // all, need not be computed. The sums take the same tables in the same
  // order, so every figure stays what computing each table gives (a
  // table's computed statistic could only differ from the one taken for
  // it where it lies within rounding of the tie threshold).
  struct Side {
    double x2;  // the statistics of the table before, nearer the mode
    double g2;
    bool settled = false;  // both statistics reach their thresholds from here on
  };
  auto add = [&](Side& side, int64_t x, double wt) {
    const int64_t h = a - 2 * x;
    if (!side.settled) {
      const int64_t y = (b - h) / 2;
      double tx2 = p.x2, tg2 = p.g2;
      stat_terms(w, iu, x, tx2, tg2);
      stat_terms(w, iuv, h, tx2, tg2);
      stat_terms(w, iv, y, tx2, tg2);
      side.settled =
          tx2 >= s.x2_threshold && tg2 >= s.g2_threshold && tx2 > side.x2 && tg2 > side.g2;
      side.x2 = tx2;
      side.g2 = tg2;
    }
    // Settled, the side's last statistics stand for the table's: both hit.
    const PerTest<bool> hit = extreme_tests(s, wt <= tie_high, side.x2, side.g2, p.h + h);
    total += wt;
    for (ExactTest test : kExactTests) {
      if (hit[test]) sums[test] += wt;
    }
    if (wt <= tie_high && wt >= tie_low) ties += wt;
  };

  // lw0 lies within [log_cutoff, 300]: a double exp loses nothing that
  // matters (below the double range the weights are dropped anyway).
  const double cutoff = w.cutoff;
  const double w0 = std::exp(static_cast<double>(lw0));
  constexpr double kNoTableBefore = std::numeric_limits<double>::infinity();
  Side up{kNoTableBefore, kNoTableBefore};
  add(up, x0, w0);
  Side down{up.x2, up.g2};  // each side starts from the mode's statistics
  double wt = w0;
  for (int64_t x = x0; x < x_hi;) {
    wt *= ratio_up(a, b, x);
    ++x;
    if (wt < cutoff || wt == 0) break;
    add(up, x, wt);
  }
  wt = w0;
  for (int64_t x = x0; x > x_lo;) {
    wt /= ratio_up(a, b, x - 1);
    --x;
    if (wt < cutoff || wt == 0) break;
    add(down, x, wt);
  }

  w.total += total;
  for (ExactTest test : kExactTests) w.sums[test] += sums[test];
  w.ties += ties;
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

}  // namespace

uint64_t count_tables(const TableStats& s, uint64_t limit) {
  if (s.k == 1) return 1;
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
      partial[d + 1] = with_cell(w, with_cell(w, partial[d], tri_index(i, i, k), at.value[d]),
                                 tri_index(i, k - 1, k), at.partners(d));
    } else {
      partial[d + 1] = with_cell(w, partial[d], tri_index(i, lv.col, k), at.value[d]);
    }
  }
  void row_done(size_t) {}
};

}  // namespace

ExactPValues enumerate_tables(const TableStats& s) {
  ExactPValues out;
  const int32_t k = s.k;
  if (k == 1) {
    out.prob_ties = 1;
    return out;
  }
  const LogFactorials& lf = *s.log_factorials;
  SumWalk w{s, build_cell_term_table<CellTerm>(
                   s, k > 2 ? kWalkTableLimits : kNoTermTables,
                   [&](const CellInfo& c, int64_t t) { return compute_term(lf, c, t); })};
  set_scale(w, 0);
  Placement at(s);
  SumVisitor visit{w, at, std::vector<Partial>(at.depth() + 1)};
  walk_placements(at, visit);

  auto ratio = [&](long double part) {
    return std::clamp(static_cast<double>(part / w.total), 0.0, 1.0);
  };
  for (ExactTest test : kExactTests) out.p[test] = ratio(w.sums[test]);
  out.prob_ties = ratio(w.ties);
  return out;
}
