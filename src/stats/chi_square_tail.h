// The asymptotic P of a chi-square statistic.
#pragma once

#include <cstdint>

// P(chi-square with df degrees of freedom >= x2); NaN where it has no value.
double chi_square_upper_tail(double x2, int32_t df);
