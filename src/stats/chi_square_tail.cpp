#include "stats/chi_square_tail.h"

#include <boost/math/special_functions/gamma.hpp>
#include <cmath>
#include <limits>

namespace {

// Domain and overflow problems give NaN or infinity instead of throwing.
using QuietPolicy = boost::math::policies::policy<
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::evaluation_error<boost::math::policies::ignore_error>>;

}  // namespace

double chi_square_upper_tail(double x2, int32_t df) {
  if (df < 1 || !std::isfinite(x2) || x2 < 0) return std::numeric_limits<double>::quiet_NaN();
  return boost::math::gamma_q(df / 2.0, x2 / 2.0, QuietPolicy());
}
