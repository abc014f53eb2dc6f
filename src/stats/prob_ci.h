// The 95% confidence interval of a Monte Carlo probability p resting on n
// replicates, by the arcsine transformation: 2 asin(sqrt(p)) +- 1.96/sqrt(n),
// transformed back with sin^2(angle / 2). The bounds are neither clipped to
// 0..1 nor the angles to 0..pi: for p = 0 the lower bound equals the upper
// one, and callers replace it. Requires n > 0.
#pragma once

void prob_ci_95(double p, double* lower, double* upper, double n);
