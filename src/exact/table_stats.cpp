#include "exact/table_stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "exact/log_factorial.h"

namespace {

// (1 + u) ln(1 + u) - u = sum_{n >= 2} (-1)^n u^n / (n (n - 1)), for
// |u| <= 1/16: the terms up to u^13 leave less than 1e-17 of the sum.
constexpr double kSeriesReach = 1.0 / 16;
constexpr int kSeriesTerms = 13;

// The coefficients (-1)^n / (n (n - 1)), each the division's correctly
// rounded double: taken once here, not a division per term per call.
struct SeriesCoefficients {
  double of[kSeriesTerms + 1] = {};
  constexpr SeriesCoefficients() {
    for (int n = 2; n <= kSeriesTerms; ++n)
      of[n] = ((n % 2 == 0) ? 1.0 : -1.0) / (static_cast<double>(n) * (n - 1));
  }
};
constexpr SeriesCoefficients kSeries;

double relative_entropy_term(double u) {
  if (std::fabs(u) <= kSeriesReach) {
    double sum = 0;
    for (int n = kSeriesTerms; n >= 2; --n) sum = sum * u + kSeries.of[n];
    return sum * u * u;
  }
  return (1.0 + u) * std::log1p(u) - u;
}

}  // namespace

double g2_term(const CellInfo& c, int64_t t) {
  if (t == 0) return c.e;
  const double u = (static_cast<double>(t) - c.e) * c.inv_e;
  return c.e * relative_entropy_term(u);
}

TableStats prepare_table_stats(const ExactSample& sample, const LogFactorials& lf) {
  TableStats s;
  s.log_factorials = &lf;
  const int32_t k = sample.k;
  s.k = k;
  std::vector<int64_t> copies(k, 0);
  for (int32_t i = 0; i < k; ++i) {
    for (int32_t j = i; j < k; ++j) {
      const int64_t t = sample.counts[tri_index(i, j, k)];
      copies[i] += t;
      copies[j] += t;
    }
  }
  // order[a]: the input's index of allele a.
  std::vector<int32_t> order(k);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int32_t a, int32_t b) { return copies[a] < copies[b]; });
  s.allele.resize(k);
  for (int32_t a = 0; a < k; ++a) s.allele[a] = copies[order[a]];
  s.two_n = std::accumulate(s.allele.begin(), s.allele.end(), int64_t{0});

  const double two_n = static_cast<double>(s.two_n);
  s.cell.resize(static_cast<size_t>(k) * (k + 1) / 2);
  std::vector<int64_t> reordered(s.cell.size());
  for (int32_t i = 0; i < k; ++i) {
    for (int32_t j = i; j < k; ++j) {
      CellInfo& c = s.cell[tri_index(i, j, k)];
      const double ni = static_cast<double>(s.allele[i]);
      const double nj = static_cast<double>(s.allele[j]);
      c.het = i != j;
      c.e = cell_expectation(ni, nj, two_n, !c.het);
      c.inv_e = 1.0 / c.e;
      const int32_t a = std::min(order[i], order[j]);
      const int32_t b = std::max(order[i], order[j]);
      c.base = sample.counts[tri_index(a, b, k)];
      reordered[tri_index(i, j, k)] = c.base;
    }
  }
  s.h_sample = table_heterozygotes(s, reordered.data());
  s.u = prepare_u_scale(s.allele, reordered.data());
  s.x2_threshold = table_x2(s, reordered.data()) * (1.0 - kTieMargin);
  s.g2_threshold = table_g2(s, reordered.data()) * (1.0 - kTieMargin);
  return s;
}

double table_x2(const TableStats& s, const int64_t* t) {
  double sum = 0;
  for (size_t c = 0; c < s.cell.size(); ++c) sum += x2_term(s.cell[c], t[c]);
  return sum;
}

double table_g2(const TableStats& s, const int64_t* t) {
  double sum = 0;
  for (size_t c = 0; c < s.cell.size(); ++c) sum += g2_term(s.cell[c], t[c]);
  return sum;
}

int64_t table_heterozygotes(const TableStats& s, const int64_t* t) {
  int64_t h = 0;
  for (size_t c = 0; c < s.cell.size(); ++c) {
    if (s.cell[c].het) h += t[c];
  }
  return h;
}
