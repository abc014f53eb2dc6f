// Logarithms of factorials and of small integers, accurate as differences:
// the exact tests only ever need lf(x) - lf(y) for nearby x and y, which a
// direct lgamma loses for large arguments (lgamma(1e9) carries an absolute
// error near 1e-6 in double). Arguments are counts, 0 <= x <= 2^53.
//
// The table of small factorials is made when the exact tests start, sized
// to the largest sample of the run, and handed to every hot path by
// reference: nothing is computed before main. Each entry is computed the first time it is asked for (an lgammal costs
// some 500 ns, and a run of biallelic sites asks for under half the table:
// genotype counts, never allele counts) and kept; threads may ask at the
// same time, and every entry is lgammal's own whichever thread computes it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

struct LogFactorials {
  // Arguments from 2^16 on take Stirling's series, so the table never holds more.
  static constexpr int64_t kMaxEntries = int64_t{1} << 16;
  struct Split {
    double high;  // ln x! rounded to double
    double low;   // the rest
  };
  struct Entry {
    long double lf;  // ln x!
    Split split;
  };
  int64_t size = 0;  // arguments below this are kept once computed
  // Written once each, behind its state (kNotYet, kWriting, kReady): the
  // table is shared as const by the threads that fill it. The samplers read
  // the split values alone, so those lie densely apart.
  std::unique_ptr<long double[]> lf;
  std::unique_ptr<Split[]> split;
  std::unique_ptr<std::atomic<uint8_t>[]> state;
  static constexpr uint8_t kNotYet = 0, kWriting = 1, kReady = 2;
};

// The table for arguments up to max_arg (counts of a sample of at most
// max_arg copies), empty until asked. Larger arguments still work, at the
// cost of an lgammal each below 2^16.
LogFactorials build_log_factorials(int64_t max_arg);

// ln x! - ln y!, in double; relative to the difference, not to ln x!.
// The samplers ask for it at every draw: entries already kept are taken
// here, inline, anything else by log_factorial_diff_rest.
double log_factorial_diff_rest(const LogFactorials& t, int64_t x, int64_t y);

// Whether the entry of x < t.size is written down.
inline bool log_factorial_kept(const LogFactorials& t, int64_t x) {
  return t.state[x].load(std::memory_order_acquire) == LogFactorials::kReady;
}

inline double log_factorial_diff(const LogFactorials& t, int64_t x, int64_t y) {
  if (x < t.size && y < t.size && log_factorial_kept(t, x) && log_factorial_kept(t, y)) {
    // Entries reach 7e5, where a double's step is 1e-10: each is kept as a
    // rounded value and its remainder, and the two differences added.
    const LogFactorials::Split& a = t.split[x];
    const LogFactorials::Split& b = t.split[y];
    return (a.high - b.high) + (a.low - b.low);
  }
  return log_factorial_diff_rest(t, x, y);
}

// ln x! - ln y! in extended precision, for the enumeration's weights.
long double log_factorial_diff_ld(const LogFactorials& t, int64_t x, int64_t y);

// The entry of x < t.size, as the table holds it (computed if need be).
LogFactorials::Entry log_factorial_entry(const LogFactorials& t, int64_t x);
