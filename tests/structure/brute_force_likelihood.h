// The inbreeding likelihood straight from its definition, for checking the
// fit: l(F) = sum log P(g_i | pi_i, F) in long double, maximised over
// [lower, 1] by a grid and a golden-section search (l is concave, so the
// best grid point's neighbours bracket the maximum).
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "structure/inbreeding_fit.h"

struct BruteForceFit {
  long double f = 0;
  long double statistic = 0;  // 2 [l(F^) - l(0)]
  long double lower = 0;
};

inline long double genotype_probability(double pi, int g, long double f) {
  const long double p = pi, q = 1 - p;
  if (g == 0) return q * q + p * q * f;
  if (g == 1) return 2 * p * q * (1 - f);
  return p * p + p * q * f;
}

// l(F) - l(0), term by term, so that the sum is as small as the gain and
// keeps its digits.
inline long double brute_log_likelihood(const std::vector<double>& pi, const std::vector<int>& g,
                                        long double f) {
  long double sum = 0;
  for (size_t i = 0; i < pi.size(); ++i) {
    const long double p = genotype_probability(pi[i], g[i], f);
    if (p <= 0) return -INFINITY;
    sum += std::log(p / genotype_probability(pi[i], g[i], 0));
  }
  return sum;
}

inline BruteForceFit brute_force_fit(const std::vector<double>& pi, const std::vector<int>& g) {
  BruteForceFit fit;
  fit.lower = -1;
  for (double p : pi) {
    const long double lp = p, lq = 1 - lp;
    fit.lower = std::fmax(fit.lower, std::fmax(-lq / lp, -lp / lq));
  }
  const int points = 400;
  const long double step = (1 - fit.lower) / points;
  int best = 0;
  long double best_l = -INFINITY;
  for (int k = 0; k <= points; ++k) {
    const long double l = brute_log_likelihood(pi, g, fit.lower + k * step);
    if (l > best_l) {
      best_l = l;
      best = k;
    }
  }
  long double a = fit.lower + std::fmax(best - 1, 0) * step;
  long double b = fit.lower + std::fmin(best + 1, points) * step;
  const long double ratio = (std::sqrt(5.0L) - 1) / 2;
  long double x1 = b - ratio * (b - a), x2 = a + ratio * (b - a);
  long double l1 = brute_log_likelihood(pi, g, x1), l2 = brute_log_likelihood(pi, g, x2);
  for (int it = 0; it < 200 && b - a > 1e-16L; ++it) {
    if (l1 < l2) {
      a = x1;
      x1 = x2;
      l1 = l2;
      x2 = a + ratio * (b - a);
      l2 = brute_log_likelihood(pi, g, x2);
    } else {
      b = x2;
      x2 = x1;
      l2 = l1;
      x1 = b - ratio * (b - a);
      l1 = brute_log_likelihood(pi, g, x1);
    }
  }
  // The ends themselves, where a maximum on a bound sits.
  long double f = (a + b) / 2, l = brute_log_likelihood(pi, g, f);
  for (long double end : {fit.lower, 1.0L}) {
    const long double le = brute_log_likelihood(pi, g, end);
    if (le >= l) {
      f = end;
      l = le;
    }
  }
  fit.f = f;
  fit.statistic = 2 * l;
  return fit;
}

// The program's fit given the frequencies and genotypes of the called
// individuals: the homozygotes' ratios and the lower bound as
// inbreeding_fit.h defines them, frequencies clipped as the site test does.
inline InbreedingTest fit_against_frequencies(const std::vector<double>& pi,
                                              const std::vector<int>& g) {
  std::vector<double> ratio;
  int32_t het = 0;
  double rarest = 0.5;
  for (size_t i = 0; i < pi.size(); ++i) {
    const double p = std::clamp(pi[i], 1e-4, 1 - 1e-4);
    rarest = std::min(rarest, std::min(p, 1 - p));
    if (g[i] == 1)
      ++het;
    else
      ratio.push_back(g[i] == 0 ? p / (1 - p) : (1 - p) / p);
  }
  return fit_inbreeding(ratio.data(), static_cast<int32_t>(ratio.size()), het,
                        -rarest / (1 - rarest));
}
