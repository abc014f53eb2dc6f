#include "exact/x_enumerate.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "genotype/genotype_table.h"

namespace {

// Calls visit(m, left) for every placement m_0..m_{placed-1} (m_i <=
// cap[i]) of n copies that leaves the later alleles `left` copies they can
// hold, until it returns false; returns false when stopped. m has k entries.
template <typename Visit>
bool for_each_placement(const std::vector<int64_t>& cap, int64_t n, int32_t placed,
                        std::vector<int64_t>& m, Visit&& visit) {
  const int32_t k = static_cast<int32_t>(cap.size());
  std::vector<int64_t> room(static_cast<size_t>(k) + 1, 0);  // copies of alleles i.. in all
  for (int32_t i = k - 1; i >= 0; --i) room[i] = room[i + 1] + cap[i];
  std::vector<int64_t> last(static_cast<size_t>(std::max(placed, 0)));
  int64_t left = n;
  int32_t i = 0;
  for (;;) {
    for (; i < placed; ++i) {
      m[i] = std::max<int64_t>(0, left - room[i + 1]);
      last[i] = std::min(cap[i], left);
      left -= m[i];
    }
    if (!visit(m, left)) return false;
    // The deepest allele that can take one more copy.
    int32_t j = placed - 1;
    while (j >= 0 && m[j] == last[j]) left += m[j--];
    if (j < 0) return true;
    ++m[j];
    --left;
    i = j + 1;
  }
}

// Calls visit(m) for every split m of n copies with m_i <= cap[i], until it
// returns false; returns false when stopped.
template <typename Visit>
bool for_each_split(const std::vector<int64_t>& cap, int64_t n, Visit&& visit) {
  const int32_t k = static_cast<int32_t>(cap.size());
  std::vector<int64_t> m(k);
  return for_each_placement(cap, n, k - 1, m, [&](std::vector<int64_t>& split, int64_t left) {
    split[k - 1] = left;
    return visit(static_cast<const std::vector<int64_t>&>(split));
  });
}

// One level of the female walk: a cell (row, col) that takes a range of
// values; the row's last level also places the row's heterozygotes with the
// last allele, which take the row's copies left.
struct FemaleLevel {
  int32_t row;
  int32_t col;
  int32_t cell;
  int32_t forced_cell;  // -1 unless the level closes its row
};

std::vector<FemaleLevel> female_levels(int32_t k) {
  std::vector<FemaleLevel> levels;
  for (int32_t i = 0; i + 1 < k; ++i) {
    for (int32_t j = i; j + 1 < k; ++j) {
      levels.push_back({i, j, tri_index(i, j, k), j + 2 == k ? tri_index(i, k - 1, k) : -1});
    }
  }
  return levels;
}

struct FemaleWalk {
  const XStats& s;
  int32_t k;
  std::vector<FemaleLevel> levels;
  std::vector<int64_t> rem;  // copies of each allele not yet placed
  std::vector<int64_t> value, last, forced;
  std::vector<long double> lw;  // per level: ln W of the cells placed before it
  std::vector<char> het;        // per cell

  explicit FemaleWalk(const XStats& stats)
      : s(stats),
        k(stats.k),
        levels(female_levels(stats.k)),
        rem(stats.k),
        value(levels.size()),
        last(levels.size()),
        forced(levels.size()),
        lw(levels.size() + 1),
        het(stats.female.size(), 1) {
    for (int32_t i = 0; i < k; ++i) het[tri_index(i, i, k)] = 0;
  }

  // A cell's part of ln W (without the -H^s ln 2 the caller adds).
  long double term(int32_t cell, int64_t t) const {
    long double v = log_factorial_diff_ld(*s.lf, s.female[cell], t);
    if (het[cell]) v += static_cast<long double>(t) * kLn2L;
    return v;
  }

  // The values level d may take with the copies left.
  void bounds(size_t d, int64_t& lo, int64_t& hi) const {
    const FemaleLevel& lv = levels[d];
    const int64_t have = rem[lv.row];
    int64_t after = 0;  // copies of the alleles after the cell's column
    for (int32_t j = lv.col + 1; j < k; ++j) after += rem[j];
    if (lv.row == lv.col) {
      lo = have > after ? (have - after + 1) / 2 : 0;
      hi = have / 2;
    } else {
      lo = std::max<int64_t>(0, have - after);
      hi = std::min(have, rem[lv.col]);
    }
  }

  void apply(size_t d) {
    const FemaleLevel& lv = levels[d];
    const int64_t v = value[d];
    if (lv.row == lv.col) {
      rem[lv.row] -= 2 * v;
    } else {
      rem[lv.row] -= v;
      rem[lv.col] -= v;
    }
    lw[d + 1] = lw[d] + term(lv.cell, v);
    if (lv.forced_cell >= 0) {
      forced[d] = rem[lv.row];
      rem[k - 1] -= forced[d];
      rem[lv.row] = 0;
      lw[d + 1] += term(lv.forced_cell, forced[d]);
    }
  }

  void undo(size_t d) {
    const FemaleLevel& lv = levels[d];
    const int64_t v = value[d];
    if (lv.forced_cell >= 0) {
      rem[lv.row] = forced[d];
      rem[k - 1] += forced[d];
    }
    if (lv.row == lv.col) {
      rem[lv.row] += 2 * v;
    } else {
      rem[lv.row] += v;
      rem[lv.col] += v;
    }
  }

  // ln W of the complete table: the last homozygotes take the copies left.
  long double leaf() const {
    return lw[levels.size()] + term(tri_index(k - 1, k - 1, k), rem[k - 1] / 2);
  }
};

// Every female table of the copies in w.rem, depth first without recursion:
// visit(ln W of the female cells) per table, or with kCountRuns visit(n)
// once per value range of the last level (n tables each). Stops when visit
// returns false; returns false then.
template <bool kCountRuns, typename Visit>
bool walk_female(FemaleWalk& w, Visit&& visit) {
  const size_t depth = w.levels.size();
  w.lw[0] = 0;
  if (depth == 0) return kCountRuns ? visit(1) : visit(w.leaf());
  size_t d = 0;
  bool down = true;
  for (;;) {
    if (down) {
      down = false;
      if (d == depth) {
        if (!visit(w.leaf())) return false;
        continue;
      }
      int64_t lo = 0, hi = 0;
      w.bounds(d, lo, hi);
      if (lo > hi) continue;
      if (kCountRuns && d + 1 == depth) {
        if (!visit(hi - lo + 1)) return false;
        continue;
      }
      w.value[d] = lo;
      w.last[d] = hi;
      w.apply(d++);
      down = true;
      continue;
    }
    if (d == 0) return true;
    --d;
    w.undo(d);
    if (w.value[d] < w.last[d]) {
      ++w.value[d];
      w.apply(d++);
      down = true;
    }
  }
}

void set_female_copies(FemaleWalk& w, const std::vector<int64_t>& m) {
  for (int32_t i = 0; i < w.k; ++i) w.rem[i] = w.s.total[i] - m[i];
}

// ln W of a split's male part.
long double log_male(const XStats& s, const std::vector<int64_t>& m) {
  long double v = 0;
  for (int32_t i = 0; i < s.k; ++i) v += log_factorial_diff_ld(*s.lf, s.male[i], m[i]);
  return v;
}

void add_counted(XSums& sums, long double log_w) {
  if (log_w > kLogTieHigh) {
    sums.skipped = true;
    return;
  }
  const long double w = expl(log_w);
  sums.counted += w;
  if (log_w >= kLogTieLow) sums.ties += w;
}

}  // namespace

uint64_t count_x_splits(const XStats& s, uint64_t limit) {
  const int32_t k = s.k;
  if (k == 1) return 1;
  // The last two alleles share what is left in a range of ways: the walk
  // places the others only, the largest alleles last.
  uint64_t count = 0;
  std::vector<int64_t> m(k);
  for_each_placement(s.total, s.n_m, k - 2, m, [&](const std::vector<int64_t>&, int64_t left) {
    const int64_t lo = std::max<int64_t>(0, left - s.total[k - 1]);
    const int64_t hi = std::min(s.total[k - 2], left);
    count += static_cast<uint64_t>(hi - lo + 1);
    return count <= limit;
  });
  return std::min(count, limit + 1);
}

uint64_t count_x_tables(const XStats& s, uint64_t limit) {
  FemaleWalk w(s);
  uint64_t count = 0;
  auto add = [&](int64_t tables) {
    count += static_cast<uint64_t>(tables);
    return count <= limit;
  };
  const bool done = for_each_split(s.total, s.n_m, [&](const std::vector<int64_t>& m) {
    set_female_copies(w, m);
    return walk_female<true>(w, add);
  });
  return done ? count : limit + 1;
}

XSums enumerate_x_tables(const XStats& s) {
  FemaleWalk w(s);
  XSums sums;
  const long double het_sample = static_cast<long double>(s.h_f) * kLn2L;
  for_each_split(s.total, s.n_m, [&](const std::vector<int64_t>& m) {
    set_female_copies(w, m);
    const long double male = log_male(s, m) - het_sample;
    walk_female<false>(w, [&](long double female) {
      add_counted(sums, male + female);
      return true;
    });
    return true;
  });
  return sums;
}

XSums enumerate_x_splits(const XStats& s) {
  XSums sums;
  for_each_split(s.total, s.n_m, [&](const std::vector<int64_t>& m) {
    long double log_v = log_male(s, m);
    for (int32_t i = 0; i < s.k; ++i) {
      log_v += log_factorial_diff_ld(*s.lf, s.female_copies[i], s.total[i] - m[i]);
    }
    add_counted(sums, log_v);
    return true;
  });
  return sums;
}
