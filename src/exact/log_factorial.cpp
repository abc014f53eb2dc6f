#include "exact/log_factorial.h"

#include <algorithm>
#include <cmath>

#include "parallel/worker_pool.h"

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

// ln x! for a small x: from the table, or (for an argument beyond what the
// table was sized for) the same lgammal the table holds.
inline long double small_lf(const LogFactorials& t, int64_t x) {
  return x < static_cast<int64_t>(t.lf.size()) ? t.lf[x]
                                               : lgammal(static_cast<long double>(x) + 1.0L);
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

LogFactorials build_log_factorials(int64_t max_arg, unsigned workers) {
  LogFactorials t;
  const size_t size = static_cast<size_t>(std::clamp<int64_t>(max_arg + 1, 1, kTableSize));
  t.lf.resize(size);
  t.lf_split.resize(size);
  // An lgammal costs some 500 ns: a full table is 30 ms on one core. Each
  // entry is its own, so pieces of it fill on several threads alike.
  constexpr size_t kPiece = 4096;
  const size_t pieces = (size + kPiece - 1) / kPiece;
  run_in_parallel(pieces, pieces > 1 ? workers : 1, [&t, size](size_t piece) {
    const size_t end = std::min(size, (piece + 1) * kPiece);
    for (size_t i = piece * kPiece; i < end; ++i) {
      t.lf[i] = lgammal(static_cast<long double>(i) + 1.0L);
      t.lf_split[i].high = static_cast<double>(t.lf[i]);
      t.lf_split[i].low =
          static_cast<double>(t.lf[i] - static_cast<long double>(t.lf_split[i].high));
    }
  });
  return t;
}

double log_factorial_diff(const LogFactorials& t, int64_t x, int64_t y) {
  const int64_t size = static_cast<int64_t>(t.lf_split.size());
  if (x < size && y < size) {
    // Entries reach 7e5, where a double's step is 1e-10: each is kept as a
    // rounded value and its remainder, and the two differences added.
    const LogFactorials::Split& a = t.lf_split[x];
    const LogFactorials::Split& b = t.lf_split[y];
    return (a.high - b.high) + (a.low - b.low);
  }
  if (x >= kTableSize && y >= kTableSize) return lf_diff<double>(t, x, y);
  if (x < kTableSize && y < kTableSize) {
    // Beyond the table's size: the same split of the same values.
    const long double lx = small_lf(t, x), ly = small_lf(t, y);
    const double hx = static_cast<double>(lx), hy = static_cast<double>(ly);
    return (hx - hy) + (static_cast<double>(lx - static_cast<long double>(hx)) -
                        static_cast<double>(ly - static_cast<long double>(hy)));
  }
  return static_cast<double>(lf_diff<long double>(t, x, y));
}

long double log_factorial_diff_ld(const LogFactorials& t, int64_t x, int64_t y) {
  return lf_diff<long double>(t, x, y);
}
