#include "stats/clopper_pearson.h"

#include <boost/math/special_functions/beta.hpp>

ProportionLimits clopper_pearson_95(uint64_t hits, uint64_t n) {
  const double x = static_cast<double>(hits);
  const double m = static_cast<double>(n);
  ProportionLimits out{0.0, 1.0};
  if (hits > 0) out.low = boost::math::ibeta_inv(x, m - x + 1.0, 0.025);
  if (hits < n) out.high = boost::math::ibeta_inv(x + 1.0, m - x, 0.975);
  return out;
}
