// A simulated statistic is compared with the observed one as an integer in
// units of 0.00001, never as a float: chi-square values are x * 100000 + 0.5
// truncated, D values are rounded half away from zero. The integers are 64-bit,
// so the comparison stays right far beyond the chi-square of 42949.67 and the
// |D| of 21474.8 where 32-bit integers would wrap; inside that range the
// results are the same as with 32-bit integers.
#pragma once

#include <cmath>
#include <cstdint>

namespace scaled_detail {

// Below this magnitude x * 100000 stays under 2^52. The product of a float and
// 100000 (at most 41 significant bits) is then exact in double, and adding 0.5
// can round only where the product has bits far below 2^-1, never across an
// integer: double truncates to the same integer as the extended evaluation
// (the integer part of the exact value), in a single SSE conversion.
constexpr float kFastLimit = 4.0e10f;

// x * 100000 + half in double, truncated; valid for |x| < kFastLimit.
inline int64_t fast_scale(float x, double half) {
  return static_cast<int64_t>(static_cast<double>(x) * 100000.0 + half);
}

// The extended-precision evaluation for the rare large values; out-of-range
// results saturate instead of being undefined, NaN gives 0.
inline int64_t truncate_to_int64(long double v) {
  if (!(v == v)) return 0;
  if (v >= 9223372036854775807.0L) return INT64_MAX;
  if (v <= -9223372036854775808.0L) return INT64_MIN;
  return static_cast<int64_t>(v);
}

}  // namespace scaled_detail

// x * 100000 + 0.5 (float32 constants), truncated toward zero.
inline int64_t scale_chi_square(float x) {
  if (std::fabs(x) < scaled_detail::kFastLimit) return scaled_detail::fast_scale(x, 0.5);
  return scaled_detail::truncate_to_int64(static_cast<long double>(x) * 100000.0f + 0.5f);
}

// x * 100000 + 0.5 when x > 0, else x * 100000 - 0.5, truncated toward zero.
inline int64_t scale_d(float x) {
  const float half = x > 0.0f ? 0.5f : -0.5f;
  if (std::fabs(x) < scaled_detail::kFastLimit) return scaled_detail::fast_scale(x, half);
  return scaled_detail::truncate_to_int64(static_cast<long double>(x) * 100000.0f + half);
}
