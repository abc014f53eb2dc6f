// Fisher's method: k independent p-values combined into one,
// X2 = -2 sum ln p_i, referred to chi-square with 2k degrees of freedom.
// Only the running sum is kept, so any number of p-values costs the same.
// A p that is 0 (an asymptotic or enumerated p below the smallest double)
// makes X2 infinite and the combined p 0.
#pragma once

#include <cstdint>

struct FisherSums {
  int64_t count = 0;        // p-values added
  long double log_sum = 0;  // sum of ln p_i; -inf once a p is 0
};

// Adds p (in [0, 1]); NaN is no value and is left out.
void add_fisher_p(FisherSums& sums, double p);

struct FisherCombination {
  double x2;   // -2 sum ln p_i, rounded once to double; inf after a 0
  int64_t df;  // 2 count
  double p;    // P(chi-square with df degrees of freedom >= x2)
};

// The combination of the p-values added; count must be at least 1.
FisherCombination combine_fisher(const FisherSums& sums);
