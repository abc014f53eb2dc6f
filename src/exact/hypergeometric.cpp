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
double log_density_ratio(const LogFactorials& lf, int64_t z, int64_t m, int64_t n, int64_t good,
                         int64_t bad) {
  return log_factorial_diff(lf, m, z) + log_factorial_diff(lf, good - m, good - z) +
         log_factorial_diff(lf, n - m, n - z) + log_factorial_diff(lf, bad - n + m, bad - n + z);
}

// Arguments from which Stirling's series with its 1/(12 z) term alone is
// exact to 1e-13 (the next term is 1/(360 z^3)).
constexpr int64_t kStirlingMin = 8192;

// The same ratio when every argument of f at the mode is large, the mode's
// part prepared once per draw: each factorial's difference is
// (x + 1/2) ln(1 + e) + d ln(y + 1) - d + tail with d = x - y, e = d/(y + 1),
// and the four d ln(y + 1) collapse into one logarithm of the mode alone
// because the differences are +-(z - m).
struct ModeLogs {
  double y[4];       // the mode's arguments: m, good - m, n - m, bad - n + m
  double inv_zy[4];  // 1 / (y + 1)
  double log_ratio;  // ln((y0 + 1)(y3 + 1) / ((y1 + 1)(y2 + 1)))
  double y_min;      // the smallest of y
};

// The arguments move by +(z - m), -(z - m), -(z - m), +(z - m).
constexpr double kArgSign[4] = {1.0, -1.0, -1.0, 1.0};

// Where the short series below hold: |e| <= 1/32, so |d| <= y_min/32.
constexpr double kSeriesReach = 1.0 / 32;

ModeLogs prepare_mode_logs(int64_t m, int64_t n, int64_t good, int64_t bad) {
  ModeLogs l{};
  const int64_t y[4] = {m, good - m, n - m, bad - n + m};
  double zy[4];
  for (int i = 0; i < 4; ++i) {
    l.y[i] = static_cast<double>(y[i]);
    zy[i] = l.y[i] + 1.0;
    l.inv_zy[i] = 1.0 / zy[i];
  }
  l.log_ratio = std::log((zy[0] * zy[3]) / (zy[1] * zy[2]));
  l.y_min = std::min({l.y[0], l.y[1], l.y[2], l.y[3]});
  return l;
}

// One factorial's difference without its d ln(y + 1) part, for |e| <= 1/32:
// ln(1 + e) = 2 atanh(u), u = e/(2 + e), |u| <= 1/63, to u^7 (the rest is
// below 1e-15 of it, and the result is only compared with uniforms), and
// the Stirling tail 1/(12 (x + 1)) - 1/(12 (y + 1)) = -e/(12 (y + 1)(1 + e))
// with 1/(1 + e) to e^4.
inline double factorial_step(double e, double d, double x, double inv_zy) {
  const double u = e / (2.0 + e);
  const double u2 = u * u;
  const double log1p_e = 2.0 * u * (1.0 + u2 * (1.0 / 3 + u2 * (1.0 / 5 + u2 * (1.0 / 7))));
  const double tail = -e * inv_zy * (1.0 / 12) * (1.0 - e * (1.0 - e * (1.0 - e * (1.0 - e))));
  return (x + 0.5) * log1p_e - d + tail;
}

// ln f(z) - ln f(m) from the prepared mode, or false when z is too far from
// the mode for the series (the caller then takes the general form).
bool log_density_ratio_large(const ModeLogs& l, int64_t z, int64_t m, double& t) {
  const double dz = static_cast<double>(z - m);
  if (dz > kSeriesReach * l.y_min || -dz > kSeriesReach * l.y_min) return false;
  double sum = dz * l.log_ratio;
  for (int i = 0; i < 4; ++i) {
    const double d = kArgSign[i] * dz;
    sum += factorial_step(d * l.inv_zy[i], d, l.y[i] + d, l.inv_zy[i]);
  }
  t = -sum;  // f holds the factorials in its denominator
  return true;
}

// Requires n <= total / 2 and good <= total / 2 (so bad >= n and no lower
// bound but 0).
int64_t draw_ratio_of_uniforms(const LogFactorials& lf, Rng64& r, int64_t n, int64_t good,
                               int64_t total) {
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
  const bool large = std::min({mode, good - mode, n - mode, bad - n + mode}) >= kStirlingMin;
  const ModeLogs logs = large ? prepare_mode_logs(mode, n, good, bad) : ModeLogs{};
  for (;;) {
    const double u = rng64_open01(r);
    const double v = rng64_01(r);
    const double w = center + width * (v - 0.5) / u;
    if (w < 0.0 || w >= end) continue;
    const int64_t z = static_cast<int64_t>(w);
    double t;
    if (!large || !log_density_ratio_large(logs, z, mode, t)) {
      t = log_density_ratio(lf, z, mode, n, good, bad);
    }
    if (u * (4.0 - u) - 3.0 <= t) return z;  // quick accept: below 2 ln u
    if (u * (u - t) >= 1.0) continue;        // quick reject: above 2 ln u
    if (2.0 * std::log(u) <= t) return z;
  }
}

}  // namespace

int64_t draw_hypergeometric(const LogFactorials& lf, Rng64& r, int64_t n, int64_t good,
                            int64_t total) {
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
                                            : draw_ratio_of_uniforms(lf, r, small, large, total);
  const int64_t x1 = flip_good ? n1 - x : x;
  return flip_n ? good - x1 : x1;
}

int64_t draw_two_allele_homozygotes(const LogFactorials& lf, Rng64& r, int64_t a, int64_t b) {
  const int64_t pairs = (a + b) / 2;
  const int64_t odd = draw_hypergeometric(lf, r, a, pairs, a + b);
  return draw_hypergeometric(lf, r, a - odd, odd, pairs);
}
