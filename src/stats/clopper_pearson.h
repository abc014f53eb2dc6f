// The exact (Clopper-Pearson) 95% interval of a binomial proportion from
// hits out of n >= 1 trials, by Boost.Math's inverse incomplete beta: the
// lower limit is 0 with no hit, the upper 1 when every trial hit.
#pragma once

#include <cstdint>

struct ProportionLimits {
  double low;
  double high;
};

ProportionLimits clopper_pearson_95(uint64_t hits, uint64_t n);
