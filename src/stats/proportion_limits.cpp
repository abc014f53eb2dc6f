#include "stats/proportion_limits.h"

#include <boost/math/special_functions/beta.hpp>
#include <cmath>

ProportionLimits clopper_pearson_95(uint64_t hits, uint64_t n) {
  const double x = static_cast<double>(hits);
  const double m = static_cast<double>(n);
  ProportionLimits out{0.0, 1.0};
  if (hits > 0) out.low = boost::math::ibeta_inv(x, m - x + 1.0, 0.025);
  if (hits < n) out.high = boost::math::ibeta_inv(x + 1.0, m - x, 0.975);
  return out;
}

namespace {

double half_angle_sine_squared(double angle) {
  const double half = static_cast<double>(static_cast<long double>(angle) * 0.5L);
  const double sine = std::sin(half);
  return static_cast<double>(static_cast<long double>(sine) * static_cast<long double>(sine));
}

}  // namespace

void prob_ci_95(double p, double* lower, double* upper, double n) {
  using Ext = long double;
  const double a = std::asin(std::sqrt(p));
  const double angle = static_cast<double>(2.0L * static_cast<Ext>(a));
  const Ext margin = static_cast<Ext>(1.96) / sqrtl(static_cast<Ext>(n));
  const double high = static_cast<double>(static_cast<Ext>(angle) + margin);
  const double low = static_cast<double>(static_cast<Ext>(angle) - margin);
  *upper = half_angle_sine_squared(high);
  *lower = half_angle_sine_squared(low);
}
