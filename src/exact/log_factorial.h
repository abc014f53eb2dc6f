// Logarithms of factorials and of small integers, accurate as differences:
// the exact tests only ever need lf(x) - lf(y) for nearby x and y, which a
// direct lgamma loses for large arguments (lgamma(1e9) carries an absolute
// error near 1e-6 in double). Arguments are counts, 0 <= x <= 2^53.
#pragma once

#include <cstdint>

// ln x! - ln y!, in double; relative to the difference, not to ln x!.
double log_factorial_diff(int64_t x, int64_t y);

// ln x! - ln y! in extended precision, for the enumeration's weights.
long double log_factorial_diff_ld(int64_t x, int64_t y);

// ln t for t >= 1 (table below 2^16, else std::log).
double log_count(int64_t t);
