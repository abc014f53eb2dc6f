#include "exact/log_factorial.h"

#include <algorithm>
#include <cmath>

namespace {

// Arguments below this come from the table, the others from Stirling's
// series (exact to 1e-27 from here on).
constexpr int64_t kTableSize = LogFactorials::kMaxEntries;

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

constexpr uint8_t kNotYet = LogFactorials::kNotYet, kWriting = LogFactorials::kWriting,
                  kReady = LogFactorials::kReady;

LogFactorials::Entry compute_entry(int64_t x) {
  int sign = 0;  // lgammal's own value, without its global sign
  const long double lf = lgammal_r(static_cast<long double>(x) + 1.0L, &sign);
  const double high = static_cast<double>(lf);
  return {lf, {high, static_cast<double>(lf - static_cast<long double>(high))}};
}

// The first thread to ask writes the entry down; one that asks while it is
// being written uses its own, equal, value.
[[gnu::noinline]] LogFactorials::Entry fill_entry(const LogFactorials& t, int64_t x) {
  const LogFactorials::Entry e = compute_entry(x);
  uint8_t expected = kNotYet;
  if (t.state[x].compare_exchange_strong(expected, kWriting, std::memory_order_acquire)) {
    t.lf[x] = e.lf;
    t.split[x] = e.split;
    t.state[x].store(kReady, std::memory_order_release);
  }
  return e;
}

inline long double kept_lf(const LogFactorials& t, int64_t x) {
  return log_factorial_kept(t, x) ? t.lf[x] : fill_entry(t, x).lf;
}

inline LogFactorials::Split kept_split(const LogFactorials& t, int64_t x) {
  return log_factorial_kept(t, x) ? t.split[x] : fill_entry(t, x).split;
}

// ln x! for a small x: from the table, or (for an argument beyond what the
// table was sized for) the same lgammal the table holds.
inline long double small_lf(const LogFactorials& t, int64_t x) {
  return x < t.size ? kept_lf(t, x) : compute_entry(x).lf;
}

template <typename F>
F lf_diff(const LogFactorials& t, int64_t x, int64_t y) {
  if (x == y) return F(0);
  const bool x_small = x < kTableSize;
  const bool y_small = y < kTableSize;
  if (x_small && y_small) return static_cast<F>(small_lf(t, x) - small_lf(t, y));
  const F zx = static_cast<F>(x) + F(1);
  const F zy = static_cast<F>(y) + F(1);
  if (!x_small && !y_small) return log_gamma_diff_large(zx, zy);
  const F lx = x_small ? static_cast<F>(small_lf(t, x)) : log_gamma_large(zx);
  const F ly = y_small ? static_cast<F>(small_lf(t, y)) : log_gamma_large(zy);
  return lx - ly;
}

}  // namespace

LogFactorials build_log_factorials(int64_t max_arg) {
  LogFactorials t;
  t.size = std::clamp<int64_t>(max_arg + 1, 1, kTableSize);
  const auto size = static_cast<size_t>(t.size);
  // Entries are written only behind their state, so their pages stay
  // untouched until asked for.
  t.lf = std::make_unique_for_overwrite<long double[]>(size);
  t.split = std::make_unique_for_overwrite<LogFactorials::Split[]>(size);
  t.state = std::make_unique<std::atomic<uint8_t>[]>(size);
  return t;
}

LogFactorials::Entry log_factorial_entry(const LogFactorials& t, int64_t x) {
  return log_factorial_kept(t, x) ? LogFactorials::Entry{t.lf[x], t.split[x]} : fill_entry(t, x);
}

double log_factorial_diff_rest(const LogFactorials& t, int64_t x, int64_t y) {
  if (x < t.size && y < t.size) {
    // As log_factorial_diff, the entries computed first.
    const LogFactorials::Split a = kept_split(t, x), b = kept_split(t, y);
    return (a.high - b.high) + (a.low - b.low);
  }
  if (x >= kTableSize && y >= kTableSize) return lf_diff<double>(t, x, y);
  if (x < kTableSize && y < kTableSize) {
    // Beyond the table's size: the same split of the same values.
    const LogFactorials::Split a = compute_entry(x).split, b = compute_entry(y).split;
    return (a.high - b.high) + (a.low - b.low);
  }
  return static_cast<double>(lf_diff<long double>(t, x, y));
}

long double log_factorial_diff_ld(const LogFactorials& t, int64_t x, int64_t y) {
  return lf_diff<long double>(t, x, y);
}
