#include "exact/log_factorial.h"

#include <cmath>

namespace {

constexpr int64_t kTableSize = 1 << 16;

struct SplitValue {
  double high;
  double low;
};

struct Tables {
  long double lf[kTableSize];
  SplitValue lf_split[kTableSize];
  double ln[kTableSize];
  Tables() {
    for (int64_t i = 0; i < kTableSize; ++i) {
      lf[i] = lgammal(static_cast<long double>(i) + 1.0L);
      lf_split[i].high = static_cast<double>(lf[i]);
      lf_split[i].low = static_cast<double>(lf[i] - static_cast<long double>(lf_split[i].high));
      ln[i] = i == 0 ? 0.0 : std::log(static_cast<double>(i));
    }
  }
};

const Tables& tables() {
  static const Tables t;
  return t;
}
// Filled during static initialisation, before any thread asks for it, so the
// hot paths test no guard (a guard costs the sampler a fifth of its time).
const Tables& kTables = tables();

// Stirling's series of ln Gamma(z) without the (z - 1/2) ln z - z part, for
// z >= 2^16: the next term, 1/(1260 z^5), is below 1e-27.
template <typename F>
F stirling_tail(F z) {
  const F inv = F(1) / z;
  const F inv2 = inv * inv;
  return inv * (F(1) / F(12) - inv2 * (F(1) / F(360)));
}

// ln Gamma(z) for z >= 2^16 (the absolute form, used only when the other
// argument is small so the difference is large anyway).
template <typename F>
F log_gamma_large(F z) {
  using std::log;
  return (z - F(0.5)) * log(z) - z + F(0.91893853320467274178032973640562L) + stirling_tail(z);
}

// ln Gamma(zx) - ln Gamma(zy) for both >= 2^16 without subtracting the two
// large values: (zx - 1/2) ln zx - (zy - 1/2) ln zy is rewritten as
// (zx - 1/2) ln(zx/zy) + d ln zy with d = zx - zy, every product the size of
// the result.
template <typename F>
F log_gamma_diff_large(F zx, F zy) {
  using std::log;
  using std::log1p;
  const F d = zx - zy;
  return (zx - F(0.5)) * log1p(d / zy) + d * log(zy) - d + (stirling_tail(zx) - stirling_tail(zy));
}

template <typename F>
F lf_diff(int64_t x, int64_t y, const F* table) {
  if (x == y) return F(0);
  const bool x_small = x < kTableSize;
  const bool y_small = y < kTableSize;
  if (x_small && y_small) return table[x] - table[y];
  const F zx = static_cast<F>(x) + F(1);
  const F zy = static_cast<F>(y) + F(1);
  if (!x_small && !y_small) return log_gamma_diff_large(zx, zy);
  const F lx = x_small ? table[x] : log_gamma_large(zx);
  const F ly = y_small ? table[y] : log_gamma_large(zy);
  return lx - ly;
}

}  // namespace

double log_factorial_diff(int64_t x, int64_t y) {
  if (x < kTableSize && y < kTableSize) {
    // Entries reach 7e5, where a double's step is 1e-10: each is kept as a
    // rounded value and its remainder, and the two differences added.
    const SplitValue& a = kTables.lf_split[x];
    const SplitValue& b = kTables.lf_split[y];
    return (a.high - b.high) + (a.low - b.low);
  }
  if (x >= kTableSize && y >= kTableSize) return lf_diff<double>(x, y, nullptr);
  return static_cast<double>(lf_diff<long double>(x, y, kTables.lf));
}

long double log_factorial_diff_ld(int64_t x, int64_t y) {
  return lf_diff<long double>(x, y, kTables.lf);
}

double log_count(int64_t t) {
  return t < kTableSize ? kTables.ln[t] : std::log(static_cast<double>(t));
}
