#include "stats/prob_ci.h"

#include <cmath>

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
