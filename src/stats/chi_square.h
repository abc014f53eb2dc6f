// The chi-square distribution as the program uses it: the asymptotic P of a
// statistic, and the upper 5% point (a fixed table for df 1 to 100, Fisher's
// approximation 0.5 (sqrt(2 df - 1) + 1.64)^2 above).
#pragma once

#include <cstdint>

// P(chi-square with df degrees of freedom >= x2); NaN where it has no value.
double chi_square_upper_tail(double x2, int32_t df);

// Entry i holds the value for df = i + 1 (float32 nearest to the printed
// three-decimal table; from df 79 on the table has two decimals).
extern const float chi2_table_05[100];

// Requires df >= 1; returns NaN for df < 1, which has no critical value.
// Callers store the result as float32.
long double chi2_crit_05(int32_t df);
