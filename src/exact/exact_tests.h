// The exact conditional tests of Hardy-Weinberg proportions for one sample.
//
// Every genotype table with the sample's allele counts has the conditional
// probability P(t) = N! prod n_i! 2^H / ((2N)! prod t_ij!). Each test's p is
// the total probability of the tables at least as extreme as the sample, ties
// within a relative 1e-7 of the sample's value counting as at least as
// extreme: p_prob P(t) <= P(s), p_x2e X2(t) >= X2(s), p_llr G2(t) >= G2(s),
// p_deficit H(t) <= H(s), p_excess H(t) >= H(s).
//
// With at most max_tables tables they are all enumerated and every p is within
// 1e-9 of its exact value; otherwise `tables` tables are drawn from exactly
// that distribution and each p carries its 95% Clopper-Pearson limits. The
// figures depend on the seed only, never on the number of threads.
#pragma once

#include <cstdint>
#include <vector>

struct ExactSample {
  int32_t k = 0;                // allele classes, each with at least one copy
  std::vector<int64_t> counts;  // t_ij, i <= j, at index i*k + j - i*(i+1)/2
};

inline constexpr uint64_t kDefaultMaxTables = 1000000;
inline constexpr uint64_t kDefaultTables = 100000;

struct ExactOptions {
  uint64_t max_tables = kDefaultMaxTables;  // enumerate up to this many; 0 forces sampling
  uint64_t tables = kDefaultTables;         // tables drawn when sampling, >= 1
  uint64_t seed = 0;
  unsigned threads = 0;  // 0: one per core
};

enum class ExactMethod { enumeration, sampling };

struct ExactP {
  double p = 0;
  double low = 0;  // 95% limits; both equal p under enumeration
  double high = 0;
};

struct ExactResult {
  ExactMethod method = ExactMethod::enumeration;
  uint64_t tables = 0;  // enumerated or drawn
  uint64_t seed = 0;    // the sampler's seed (meaningless under enumeration)
  ExactP prob, x2e, llr, deficit, excess;
};

enum class ExactStatus {
  ok,
  no_alleles,       // k < 1 or the count vector does not have k(k+1)/2 cells
  negative_count,   // a genotype count below zero
  empty_class,      // an allele class without copies
  too_large,        // 2N beyond 2^50 copies
  no_tables,        // sampling asked for zero tables
};

// A short message for a status, for a line on standard error.
const char* exact_status_message(ExactStatus status);

// Checks the sample and options, then enumerates or samples. On any status
// but ok the result is left untouched.
ExactStatus run_exact_tests(const ExactSample& sample, const ExactOptions& options,
                            ExactResult& result);
