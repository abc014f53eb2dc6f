// Logarithms of factorials and of small integers, accurate as differences:
// the exact tests only ever need lf(x) - lf(y) for nearby x and y, which a
// direct lgamma loses for large arguments (lgamma(1e9) carries an absolute
// error near 1e-6 in double). Arguments are counts, 0 <= x <= 2^53.
//
// The table of small factorials is built when the exact tests start, sized
// to the largest sample of the run, and handed to every hot path by
// reference: nothing is computed before main and no path tests a guard.
#pragma once

#include <cstdint>
#include <vector>

struct LogFactorials {
  // Arguments from 2^16 on take Stirling's series, so the table never holds more.
  static constexpr int64_t kMaxEntries = int64_t{1} << 16;
  struct Split {
    double high;  // ln x! rounded to double
    double low;   // the rest
  };
  std::vector<long double> lf;  // ln x! for x < size
  std::vector<Split> lf_split;
};

// The table for arguments up to max_arg (counts of a sample of at most
// max_arg copies), filled on up to `workers` threads (0: one per core); the
// same table whatever their number. Larger arguments still work, at the cost
// of an lgammal each below 2^16.
LogFactorials build_log_factorials(int64_t max_arg, unsigned workers = 1);

// ln x! - ln y!, in double; relative to the difference, not to ln x!.
double log_factorial_diff(const LogFactorials& t, int64_t x, int64_t y);

// ln x! - ln y! in extended precision, for the enumeration's weights.
long double log_factorial_diff_ld(const LogFactorials& t, int64_t x, int64_t y);
