#include "exact/hypergeometric.h"

#include <algorithm>
#include <cmath>

#include "exact/log_factorial.h"

namespace {

constexpr int64_t kSequentialMax = 16;
// 2 sqrt(2/e) and 3 - 2 sqrt(3/e): the ratio-of-uniforms box half-width is
// kD1 * sigma + kD2 (Stadlober 1989).
constexpr double kD1 = 1.7155277699214135;
constexpr double kD2 = 0.8989161620588988;

// n draws, one at a time; n <= good assumed small.
int64_t draw_sequential(Rng64& r, int64_t n, int64_t good, int64_t total) {
  int64_t hits = 0;
  for (int64_t i = 0; i < n; ++i) {
    if (static_cast<int64_t>(rng64_below(r, static_cast<uint64_t>(total - i))) < good - hits) {
      ++hits;
    }
  }
  return hits;
}

// ln f(z) - ln f(m) for f(z) = 1 / (z! (good - z)! (n - z)! (bad - n + z)!).
double log_density_ratio(int64_t z, int64_t m, int64_t n, int64_t good, int64_t bad) {
  return log_factorial_diff(m, z) + log_factorial_diff(good - m, good - z) +
         log_factorial_diff(n - m, n - z) + log_factorial_diff(bad - n + m, bad - n + z);
}

// Requires n <= total / 2 and good <= total / 2 (so bad >= n and no lower
// bound but 0).
int64_t draw_ratio_of_uniforms(Rng64& r, int64_t n, int64_t good, int64_t total) {
  const int64_t bad = total - good;
  const double nt = static_cast<double>(total);
  const double nn = static_cast<double>(n);
  const double p = static_cast<double>(good) / nt;
  const double center = nn * p + 0.5;
  const double sigma = std::sqrt((nt - nn) * nn * p * (1.0 - p) / (nt - 1.0) + 0.5);
  const double width = kD1 * sigma + kD2;
  const int64_t mode = static_cast<int64_t>(std::floor(
      (static_cast<double>(n) + 1.0) * (static_cast<double>(good) + 1.0) / (nt + 2.0)));
  const double end = static_cast<double>(std::min(n, good)) + 1.0;
  for (;;) {
    const double u = rng64_open01(r);
    const double v = rng64_01(r);
    const double w = center + width * (v - 0.5) / u;
    if (w < 0.0 || w >= end) continue;
    const int64_t z = static_cast<int64_t>(w);
    const double t = log_density_ratio(z, mode, n, good, bad);
    if (u * (4.0 - u) - 3.0 <= t) return z;  // quick accept: below 2 ln u
    if (u * (u - t) >= 1.0) continue;        // quick reject: above 2 ln u
    if (2.0 * std::log(u) <= t) return z;
  }
}

}  // namespace

int64_t draw_hypergeometric(Rng64& r, int64_t n, int64_t good, int64_t total) {
  if (n == 0 || good == 0) return 0;
  if (good == total) return n;
  if (n == total) return good;
  const bool flip_n = n > total - n;
  const int64_t n1 = flip_n ? total - n : n;
  const bool flip_good = good > total - good;
  const int64_t g1 = flip_good ? total - good : good;
  // The roles of the drawn and the successes are symmetric.
  const int64_t small = std::min(n1, g1);
  const int64_t large = std::max(n1, g1);
  const int64_t x = small <= kSequentialMax ? draw_sequential(r, small, large, total)
                                            : draw_ratio_of_uniforms(r, small, large, total);
  const int64_t x1 = flip_good ? n1 - x : x;
  return flip_n ? good - x1 : x1;
}

int64_t draw_two_allele_homozygotes(Rng64& r, int64_t a, int64_t b) {
  const int64_t pairs = (a + b) / 2;
  const int64_t odd = draw_hypergeometric(r, a, pairs, a + b);
  return draw_hypergeometric(r, a - odd, odd, pairs);
}
