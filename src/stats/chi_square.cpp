#include "stats/chi_square.h"

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

const float chi2_table_05[100] = {
    3.841f,   5.991f,   7.815f,   9.488f,   11.070f,  12.592f,  14.067f,  15.507f,  16.919f,
    18.307f,  19.675f,  21.026f,  22.362f,  23.685f,  24.996f,  26.296f,  27.587f,  28.869f,
    30.144f,  31.410f,  32.670f,  33.924f,  35.172f,  36.415f,  37.652f,  38.885f,  40.113f,
    41.337f,  42.557f,  43.773f,  44.985f,  46.194f,  47.400f,  48.602f,  49.802f,  50.998f,
    52.192f,  53.384f,  54.572f,  55.758f,  56.942f,  58.124f,  59.304f,  60.481f,  61.656f,
    62.830f,  64.001f,  65.171f,  66.339f,  67.505f,  68.669f,  69.832f,  70.993f,  72.153f,
    73.311f,  74.468f,  75.624f,  76.778f,  77.931f,  79.082f,  80.232f,  81.381f,  82.529f,
    83.675f,  84.821f,  85.965f,  87.108f,  88.250f,  89.391f,  90.531f,  91.670f,  92.808f,
    93.945f,  95.081f,  96.217f,  97.351f,  98.484f,  99.617f,  100.750f, 101.880f, 103.010f,
    104.140f, 105.270f, 106.390f, 107.520f, 108.650f, 109.770f, 110.900f, 112.020f, 113.150f,
    114.270f, 115.390f, 116.510f, 117.630f, 118.750f, 119.870f, 120.990f, 122.110f, 123.230f,
    124.340f,
};

long double chi2_crit_05(int32_t df) {
  if (df < 1) return std::numeric_limits<long double>::quiet_NaN();
  if (df <= 100) return chi2_table_05[df - 1];
  // Fisher's approximation with the normal deviate 1.64, rounded step by step.
  const double m = static_cast<double>(2 * static_cast<int64_t>(df) - 1);
  const long double s = sqrtl(static_cast<long double>(m));
  const double b = static_cast<double>(s + static_cast<long double>(1.64));
  const double q = std::pow(b, 2.0);
  return static_cast<long double>(q) * 0.5L;
}
