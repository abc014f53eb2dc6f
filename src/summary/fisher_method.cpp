#include "summary/fisher_method.h"

#include <cmath>
#include <limits>

#include "stats/chi_square.h"

void add_fisher_p(FisherSums& sums, double p) {
  if (std::isnan(p)) return;
  ++sums.count;
  sums.log_sum += std::log(static_cast<long double>(p));
}

FisherCombination combine_fisher(const FisherSums& sums) {
  const int64_t df = 2 * sums.count;
  if (std::isinf(sums.log_sum)) return {std::numeric_limits<double>::infinity(), df, 0.0};
  // All p equal to 1 leave +0, not -0.
  const double x2 = sums.log_sum < 0 ? static_cast<double>(-2.0L * sums.log_sum) : 0.0;
  // The chi-square tail takes int32 degrees of freedom: beyond a billion
  // p-values there is no figure (no input of today comes near).
  if (df > std::numeric_limits<int32_t>::max()) return {x2, df, std::nan("")};
  return {x2, df, chi_square_upper_tail(x2, static_cast<int32_t>(df))};
}
