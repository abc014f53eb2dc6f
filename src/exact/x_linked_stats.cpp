#include "exact/x_linked_stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "exact/table_stats.h"

namespace {

long double log_factorial(const LogFactorials& lf, int64_t x) {
  return log_factorial_diff_ld(lf, x, 0);
}

}  // namespace

XStats prepare_x_stats(const XLinkedSample& sample, const LogFactorials& lf) {
  const int32_t k_in = sample.k;
  std::vector<int64_t> copies(sample.males.begin(), sample.males.end());
  for (int32_t i = 0; i < k_in; ++i) {
    for (int32_t j = i; j < k_in; ++j) {
      const int64_t t = sample.females[tri_index(i, j, k_in)];
      copies[i] += t;
      copies[j] += t;
    }
  }
  // order[a]: the input's index of allele a; alleles without copies go.
  std::vector<int32_t> order;
  for (int32_t i = 0; i < k_in; ++i) {
    if (copies[i] > 0) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](int32_t a, int32_t b) { return copies[a] < copies[b]; });

  XStats s;
  s.lf = &lf;
  const int32_t k = static_cast<int32_t>(order.size());
  s.k = k;
  s.total.resize(k);
  s.male.resize(k);
  s.female_copies.resize(k);
  s.female.resize(static_cast<size_t>(cell_count_for(k)));
  for (int32_t a = 0; a < k; ++a) {
    s.total[a] = copies[order[a]];
    s.male[a] = sample.males[order[a]];
    s.female_copies[a] = s.total[a] - s.male[a];
    for (int32_t b = a; b < k; ++b) {
      const int32_t lo = std::min(order[a], order[b]);
      const int32_t hi = std::max(order[a], order[b]);
      const int64_t t = sample.females[tri_index(lo, hi, k_in)];
      s.female[tri_index(a, b, k)] = t;
      s.n_f += t;
      if (a != b) s.h_f += t;
    }
  }
  s.n_m = std::accumulate(s.male.begin(), s.male.end(), int64_t{0});
  s.n_t = s.n_m + 2 * s.n_f;

  // ln P(s) = ln n_m!/n_t! + ln n_f! + H ln 2 + sum ln n_i!/m_i! - sum ln f_c!,
  // ln H(m^s) = ln n_m!/n_t! + ln (2 n_f)! + sum (ln n_i!/m_i! - ln g_i!):
  // the large factorials paired where they nearly cancel.
  const long double common = log_factorial_diff_ld(lf, s.n_m, s.n_t);
  long double alleles = 0;
  long double female_alleles = 0;
  for (int32_t a = 0; a < k; ++a) {
    alleles += log_factorial_diff_ld(lf, s.total[a], s.male[a]);
    female_alleles += log_factorial(lf, s.female_copies[a]);
  }
  long double cells = 0;
  for (int64_t t : s.female) cells += log_factorial(lf, t);
  s.log_p_sample =
      common + log_factorial(lf, s.n_f) + static_cast<long double>(s.h_f) * kLn2L + alleles - cells;
  s.log_h_sample = common + log_factorial(lf, 2 * s.n_f) + alleles - female_alleles;
  return s;
}

XPValue p_from_sums(long double log_scale, const XSums& sums) {
  XPValue v;
  constexpr long double kLn10 = 2.302585092994045684017991454684364208L;
  const long double log_p = sums.skipped ? std::min(0.0L, log_scale + logl(sums.counted)) : 0.0L;
  const long double log_mid =
      sums.skipped
          ? std::min(0.0L, log_scale + logl(std::max(0.0L, sums.counted - 0.5L * sums.ties)))
          : log1pl(-0.5L * std::min(1.0L, expl(log_scale + logl(sums.ties))));
  v.p = static_cast<double>(expl(log_p));
  v.mid = static_cast<double>(expl(log_mid));
  v.log10_p = static_cast<double>(log_p / kLn10);
  v.log10_mid = static_cast<double>(log_mid / kLn10);
  return v;
}
