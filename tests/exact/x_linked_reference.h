// An independent enumeration of X-linked samples in exact integers: every
// male split with every female table of the same totals, each weighing
//   W = [n_m! / prod m_i!] [n_f! 2^H / prod f_ij!]
// (an integer proportional to the table's probability), p_x_prob and its
// mid-p by exact comparisons with the sample's W, and p_sex_af from the
// splits' weights prod C(n_i, m_i). Results as log10 in 50 digits, so far
// tails are checked below the double range too.
#pragma once

#include <algorithm>
#include <boost/multiprecision/cpp_bin_float.hpp>
#include <boost/multiprecision/cpp_int.hpp>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

namespace x_reference {

using boost::multiprecision::cpp_int;
using Float = boost::multiprecision::cpp_bin_float_50;

inline int tri(int i, int j, int k) { return i * k + j - i * (i + 1) / 2; }

struct Reference {
  uint64_t tables = 0;
  uint64_t splits = 0;
  double log10_p = 0;
  double log10_mid = 0;
  double log10_sex = 0;
  double p() const { return std::pow(10.0, log10_p); }
  double mid() const { return std::pow(10.0, log10_mid); }
  double sex() const { return std::pow(10.0, log10_sex); }
};

inline double log10_ratio(const cpp_int& num, const cpp_int& den) {
  return static_cast<double>(boost::multiprecision::log10(Float(num)) -
                             boost::multiprecision::log10(Float(den)));
}

inline Reference reference(int k, const std::vector<int64_t>& males,
                           const std::vector<int64_t>& females) {
  std::vector<int64_t> n(males.begin(), males.end());
  int64_t n_m = 0, n_f = 0;
  for (int64_t m : males) n_m += m;
  for (int i = 0; i < k; ++i) {
    for (int j = i; j < k; ++j) {
      n[i] += females[tri(i, j, k)];
      n[j] += females[tri(i, j, k)];
      n_f += females[tri(i, j, k)];
    }
  }
  int64_t n_t = n_m + 2 * n_f;
  std::vector<cpp_int> fact(static_cast<size_t>(n_t) + 1, 1);
  for (int64_t i = 1; i <= n_t; ++i) fact[i] = fact[i - 1] * i;

  auto female_weight = [&](const std::vector<int64_t>& f) -> cpp_int {
    cpp_int w = fact[n_f];
    int64_t h = 0;
    for (int i = 0; i < k; ++i) {
      for (int j = i; j < k; ++j) {
        w /= fact[f[tri(i, j, k)]];
        if (i != j) h += f[tri(i, j, k)];
      }
    }
    return w << static_cast<unsigned>(h);
  };
  auto male_weight = [&](const std::vector<int64_t>& m) -> cpp_int {
    cpp_int w = fact[n_m];
    for (int64_t c : m) w /= fact[c];
    return w;
  };
  auto split_weight = [&](const std::vector<int64_t>& m) -> cpp_int {
    cpp_int w = 1;
    for (int i = 0; i < k; ++i) w *= fact[n[i]] / (fact[m[i]] * fact[n[i] - m[i]]);
    return w;
  };

  // Every female table of the copies g, by brute force over the cells.
  std::function<void(std::vector<int64_t>&, std::vector<int64_t>&, int, int,
                     const std::function<void(const std::vector<int64_t>&)>&)>
      females_of = [&](std::vector<int64_t>& g, std::vector<int64_t>& f, int i, int j,
                       const std::function<void(const std::vector<int64_t>&)>& visit) {
        if (i == k) {
          visit(f);
          return;
        }
        if (j == k) {
          if (g[i] == 0) females_of(g, f, i + 1, i + 1, visit);
          return;
        }
        const int64_t hi = i == j ? g[i] / 2 : std::min(g[i], g[j]);
        for (int64_t v = 0; v <= hi; ++v) {
          f[tri(i, j, k)] = v;
          g[i] -= i == j ? 2 * v : v;
          if (i != j) g[j] -= v;
          females_of(g, f, i, j + 1, visit);
          g[i] += i == j ? 2 * v : v;
          if (i != j) g[j] += v;
        }
        f[tri(i, j, k)] = 0;
      };
  std::function<void(std::vector<int64_t>&, int, int64_t,
                     const std::function<void(const std::vector<int64_t>&)>&)>
      splits_of = [&](std::vector<int64_t>& m, int i, int64_t left,
                      const std::function<void(const std::vector<int64_t>&)>& visit) {
        if (i == k - 1) {
          if (left > n[i]) return;
          m[i] = left;
          visit(m);
          return;
        }
        for (int64_t v = 0; v <= std::min(left, n[i]); ++v) {
          m[i] = v;
          splits_of(m, i + 1, left - v, visit);
        }
      };

  const cpp_int w_sample = male_weight(males) * female_weight(females);
  const cpp_int v_sample = split_weight(males);
  Reference r;
  cpp_int total = 0, counted = 0, ties = 0, v_total = 0, v_counted = 0;
  std::vector<int64_t> m(k), f(females.size());
  splits_of(m, 0, n_m, [&](const std::vector<int64_t>& split) {
    ++r.splits;
    const cpp_int v = split_weight(split);
    v_total += v;
    if (v * 10000000 <= v_sample * 10000001) v_counted += v;
    const cpp_int wm = male_weight(split);
    std::vector<int64_t> g(k);
    for (int i = 0; i < k; ++i) g[i] = n[i] - split[i];
    females_of(g, f, 0, 0, [&](const std::vector<int64_t>& table) {
      ++r.tables;
      const cpp_int w = wm * female_weight(table);
      total += w;
      if (w * 10000000 <= w_sample * 10000001) {
        counted += w;
        if (w * 10000000 >= w_sample * 9999999) ties += w;
      }
    });
  });
  r.log10_p = log10_ratio(counted, total);
  r.log10_mid = log10_ratio(2 * counted - ties, 2 * total);
  r.log10_sex = log10_ratio(v_counted, v_total);
  return r;
}

}  // namespace x_reference
