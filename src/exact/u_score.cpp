#include "exact/u_score.h"

#include <numeric>

#include "exact/table_stats.h"

namespace {

// Z never exceeds k L / 2, and the walks add and subtract a few such values:
// L is kept exact while k L stays below 2^60.
constexpr unsigned __int128 kExactBound = static_cast<unsigned __int128>(1) << 60;

// The least common multiple of the allele counts, or 0 when k times it would
// pass the bound.
int64_t bounded_lcm(const std::vector<int64_t>& allele) {
  const auto k = static_cast<unsigned __int128>(allele.size());
  unsigned __int128 l = 1;
  for (int64_t n : allele) {
    const auto g = static_cast<unsigned __int128>(std::gcd(static_cast<int64_t>(l), n));
    l = l / g * static_cast<unsigned __int128>(n);
    if (l * k >= kExactBound) return 0;
  }
  return static_cast<int64_t>(l);
}

// The diagonal cells of the triangle: (i, i) at i k + i - i (i + 1)/2, one
// step of k - i from one to the next.
template <typename F>
void for_each_homozygote(int32_t k, const int64_t* t, F f) {
  size_t d = 0;
  for (int32_t i = 0; i < k; ++i) {
    f(i, t[d]);
    d += static_cast<size_t>(k - i);
  }
}

int64_t table_z(const UScale& u, const int64_t* t) {
  int64_t z = 0;
  for_each_homozygote(u.k, t, [&](int32_t i, int64_t v) { z += v * u.weight[i]; });
  return z;
}

double table_r(const UScale& u, const int64_t* t) {
  double r = 0;
  for_each_homozygote(u.k, t,
                      [&](int32_t i, int64_t v) { r += static_cast<double>(v) * u.inverse[i]; });
  return r;
}

}  // namespace

UScale prepare_u_scale(const std::vector<int64_t>& allele, const int64_t* t, bool integers) {
  UScale u;
  u.k = static_cast<int32_t>(allele.size());
  u.n = std::accumulate(allele.begin(), allele.end(), int64_t{0}) / 2;
  u.lcm = integers ? bounded_lcm(allele) : 0;
  u.exact = u.lcm > 0;
  u.inverse.reserve(allele.size());
  if (u.exact) u.weight.reserve(allele.size());
  for (int64_t n : allele) {
    u.inverse.push_back(1.0 / static_cast<double>(n));
    if (u.exact) u.weight.push_back(u.lcm / n);
  }
  const double r = table_r(u, t);
  const int64_t z = u.exact ? table_z(u, t) : 0;
  u.z_sample = z;
  u.r_sample = r;
  u.r_low = r * (1.0 - kTieMargin);
  u.r_high = r * (1.0 + kTieMargin);
  u.u_sample = u.exact ? u_of_z(u, z) : u_of_r(u, r);
  return u;
}

double u_of_z(const UScale& u, int64_t z) {
  // 2N Z / L - N as one quotient of integers (2N Z < 2^112), rounded once
  // in extended precision before the double.
  const __int128 num = static_cast<__int128>(2 * u.n) * z - static_cast<__int128>(u.n) * u.lcm;
  return static_cast<double>(static_cast<long double>(num) / static_cast<long double>(u.lcm));
}

double u_of_r(const UScale& u, double r) {
  return static_cast<double>(2.0L * static_cast<long double>(u.n) * r -
                             static_cast<long double>(u.n));
}

int u_compare(const UScale& u, const int64_t* t) {
  if (u.exact) {
    const int64_t z = table_z(u, t);
    return (z > u.z_sample) - (z < u.z_sample);
  }
  const double r = table_r(u, t);
  return r > u.r_high ? 1 : (r < u.r_low ? -1 : 0);
}

double u_of_table(const UScale& u, const int64_t* t) {
  return u.exact ? u_of_z(u, table_z(u, t)) : u_of_r(u, table_r(u, t));
}
