// Confidence intervals of a probability estimated from trials.
//
// The exact (Clopper-Pearson) 95% interval of a binomial proportion from
// hits out of n >= 1 trials, by Boost.Math's inverse incomplete beta: the
// lower limit is 0 with no hit, the upper 1 when every trial hit.
//
// The classic report's 95% confidence interval of a Monte Carlo probability
// p resting on n replicates, by the arcsine transformation: 2 asin(sqrt(p))
// +- 1.96/sqrt(n),
// transformed back with sin^2(angle / 2). The bounds are neither clipped to
// 0..1 nor the angles to 0..pi: for p = 0 the lower bound equals the upper
// one, and callers replace it. Requires n > 0.
#pragma once

#include <cstdint>

struct ProportionLimits {
  double low;
  double high;
};

ProportionLimits clopper_pearson_95(uint64_t hits, uint64_t n);

void prob_ci_95(double p, double* lower, double* upper, double n);
