// An independent enumeration for small samples in exact integers: every
// table with the given allele counts, cell by cell, with its weight
// W(t) = 2^H N! / prod t_ij! (proportional to its conditional probability,
// exact in unsigned __int128 for N <= 30), and the seven p values from exact
// comparisons (X2 as an integer multiple of a common denominator, G2 by its
// definition in extended precision, U through sum_i t_ii prod_{j != i} n_j,
// which orders the tables as U does).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "exact/exact_tests.h"

namespace exact_reference {

using u128 = unsigned __int128;
using i128 = __int128;

inline int tri(int i, int j, int k) { return i * k + j - i * (i + 1) / 2; }

inline u128 binomial(int64_t m, int64_t t) {
  u128 r = 1;
  for (int64_t i = 1; i <= t; ++i) r = r * static_cast<u128>(m - t + i) / static_cast<u128>(i);
  return r;
}

inline std::vector<int64_t> allele_copies(int k, const std::vector<int64_t>& t) {
  std::vector<int64_t> n(k, 0);
  for (int i = 0; i < k; ++i) {
    for (int j = i; j < k; ++j) {
      n[i] += t[tri(i, j, k)];
      n[j] += t[tri(i, j, k)];
    }
  }
  return n;
}

inline int64_t individuals(const std::vector<int64_t>& copies) {
  int64_t two_n = 0;
  for (int64_t c : copies) two_n += c;
  return two_n / 2;
}

inline i128 copies_product(const std::vector<int64_t>& copies) {
  i128 p = 1;
  for (int64_t c : copies) p *= c;
  return p;
}

// q = sum_i t_ii prod_{j != i} n_j, so that U = 2N q / prod n_i - N and
// tables order by q as by U.
inline i128 score_q(int k, const std::vector<int64_t>& copies, const std::vector<int64_t>& t) {
  const i128 product = copies_product(copies);
  i128 q = 0;
  for (int i = 0; i < k; ++i) q += t[tri(i, i, k)] * (product / copies[i]);
  return q;
}

// U from q, rounded once from extended precision.
inline double u_of_q(const std::vector<int64_t>& copies, i128 q) {
  const int64_t big_n = individuals(copies);
  const i128 product = copies_product(copies);
  return static_cast<double>(static_cast<long double>(2 * big_n * q - big_n * product) /
                             static_cast<long double>(product));
}

// Calls visit(table, weight) for every table with these allele counts.
inline void for_each_table(int k, const std::vector<int64_t>& copies,
                           const std::function<void(const std::vector<int64_t>&, u128)>& visit) {
  int64_t n_ind = 0;
  for (int64_t c : copies) n_ind += c;
  n_ind /= 2;
  std::vector<int64_t> t(k * (k + 1) / 2, 0), rem = copies;
  std::function<void(int, int, int64_t, u128)> go = [&](int i, int j, int64_t people, u128 w) {
    if (i == k) {
      visit(t, w);
      return;
    }
    if (j == k) {
      if (rem[i] == 0) go(i + 1, i + 1, people, w);
      return;
    }
    const int64_t hi = i == j ? rem[i] / 2 : std::min(rem[i], rem[j]);
    for (int64_t v = 0; v <= hi; ++v) {
      t[tri(i, j, k)] = v;
      rem[i] -= i == j ? 2 * v : v;
      rem[j] -= i == j ? 0 : v;
      u128 wv = w * binomial(people, v);
      if (i != j) wv <<= v;
      go(i, j + 1, people - v, wv);
      rem[i] += i == j ? 2 * v : v;
      rem[j] += i == j ? 0 : v;
    }
    t[tri(i, j, k)] = 0;
  };
  go(0, 0, n_ind, 1);
}

struct Reference {
  uint64_t tables = 0;
  double prob = 0, x2e = 0, llr = 0, deficit = 0, excess = 0, u_deficit = 0, u_excess = 0;
  double u_score = 0;   // U of the sample, 2N (sum_i t_ii / n_i) - N as a quotient of integers
  double prob_mid = 0;  // prob less half the weight of the tables tying with the sample
};

inline Reference reference_p(int k, const std::vector<int64_t>& sample) {
  const std::vector<int64_t> n = allele_copies(k, sample);
  const int64_t big_n = individuals(n);
  const int64_t two_n = 2 * big_n;
  // X2 + N = sum t^2 / e; times d = prod n_i^2 every 1/e is an integer.
  i128 d = 1;
  for (int64_t c : n) d *= static_cast<i128>(c) * c;
  auto scaled_x2 = [&](const std::vector<int64_t>& t) {
    i128 s = 0;
    for (int i = 0; i < k; ++i) {
      for (int j = i; j < k; ++j) {
        const i128 inv_e = i == j ? d * 2 * two_n / (static_cast<i128>(n[i]) * n[i])
                                  : d * two_n / (static_cast<i128>(n[i]) * n[j]);
        const i128 v = t[tri(i, j, k)];
        s += v * v * inv_e;
      }
    }
    return s - big_n * d;  // d * X2
  };
  auto g2 = [&](const std::vector<int64_t>& t) {
    long double s = 0;
    for (int i = 0; i < k; ++i) {
      for (int j = i; j < k; ++j) {
        const long double v = t[tri(i, j, k)];
        if (v == 0) continue;
        const long double e = i == j ? static_cast<long double>(n[i]) * n[i] / (2.0L * two_n)
                                     : static_cast<long double>(n[i]) * n[j] / two_n;
        s += v * logl(v / e);
      }
    }
    return 2 * s;
  };
  auto score = [&](const std::vector<int64_t>& t) { return score_q(k, n, t); };
  auto hets = [&](const std::vector<int64_t>& t) {
    int64_t h = 0;
    for (int i = 0; i < k; ++i)
      for (int j = i + 1; j < k; ++j) h += t[tri(i, j, k)];
    return h;
  };
  u128 w_sample = 0;
  for_each_table(k, n, [&](const std::vector<int64_t>& t, u128 w) {
    if (t == sample) w_sample = w;
  });
  const i128 x2_s = scaled_x2(sample);
  const long double g2_s = g2(sample);
  const int64_t h_s = hets(sample);
  const i128 q_s = score(sample);
  u128 total = 0, prob = 0, x2 = 0, llr = 0, def = 0, exc = 0, ties = 0, u_def = 0, u_exc = 0;
  Reference r;
  for_each_table(k, n, [&](const std::vector<int64_t>& t, u128 w) {
    ++r.tables;
    total += w;
    if (w <= w_sample + w_sample / 10000000) prob += w;
    if (w <= w_sample + w_sample / 10000000 && w >= w_sample - w_sample / 10000000) ties += w;
    if (scaled_x2(t) * 10000000 >= x2_s * 9999999) x2 += w;
    if (g2(t) >= g2_s * (1 - 1e-7L)) llr += w;
    const int64_t h = hets(t);
    if (h <= h_s) def += w;
    if (h >= h_s) exc += w;
    const i128 q = score(t);
    if (q >= q_s) u_def += w;
    if (q <= q_s) u_exc += w;
  });
  auto ratio = [&](u128 part) {
    return static_cast<double>(static_cast<long double>(part) / static_cast<long double>(total));
  };
  r.prob = ratio(prob);
  r.x2e = ratio(x2);
  r.llr = ratio(llr);
  r.deficit = ratio(def);
  r.excess = ratio(exc);
  r.u_deficit = ratio(u_def);
  r.u_excess = ratio(u_exc);
  r.u_score = u_of_q(n, q_s);
  // 2 prob - ties is an exact integer: the halving is exact too.
  r.prob_mid = static_cast<double>((static_cast<long double>(2 * prob - ties) / 2.0L) /
                                   static_cast<long double>(total));
  return r;
}

// The law of U over the tables: each distinct U (ascending) with its
// probability, from the exact weights.
struct ReferenceLaw {
  std::vector<double> u;
  std::vector<double> p;
};

inline ReferenceLaw reference_u_law(int k, const std::vector<int64_t>& sample) {
  const std::vector<int64_t> n = allele_copies(k, sample);
  std::vector<std::pair<i128, u128>> by_q;  // score_q, weight
  u128 total = 0;
  for_each_table(k, n, [&](const std::vector<int64_t>& t, u128 w) {
    const i128 q = score_q(k, n, t);
    total += w;
    for (auto& entry : by_q) {
      if (entry.first == q) {
        entry.second += w;
        return;
      }
    }
    by_q.emplace_back(q, w);
  });
  std::sort(by_q.begin(), by_q.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  ReferenceLaw law;
  for (const auto& [q, w] : by_q) {
    law.u.push_back(u_of_q(n, q));
    law.p.push_back(
        static_cast<double>(static_cast<long double>(w) / static_cast<long double>(total)));
  }
  return law;
}

}  // namespace exact_reference
