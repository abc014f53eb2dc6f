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

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "exact/log_factorial.h"

struct ExactSample {
  int32_t k = 0;                // allele classes, each with at least one copy
  std::vector<int64_t> counts;  // t_ij, i <= j, at index i*k + j - i*(i+1)/2
};

// What the exact tests build once per run rather than per sample: the
// log-factorial table, sized to the largest sample of the run (2N copies).
// Build it before any worker thread starts; samples share it read-only.
struct ExactTables {
  int64_t max_two_n = 0;
  LogFactorials log_factorials;
};

ExactTables prepare_exact_tables(int64_t max_two_n);

struct ExactOptions {
  uint64_t max_tables = 1000000;  // enumerate up to this many; 0 forces sampling
  uint64_t tables = 100000;       // tables drawn when sampling, >= 1
  uint64_t seed = 0;
  unsigned threads = 0;  // 0: one per core
  // From prepare_exact_tables; when null, or too small for the sample, the
  // tests build a table of their own for it.
  const ExactTables* prepared = nullptr;
};

enum class ExactMethod { kEnumeration, kSampling };

// The five tests, in the order of the report and the batch columns.
enum class ExactTest { kProb, kX2e, kLlr, kDeficit, kExcess };
constexpr size_t kExactTestCount = 5;
constexpr ExactTest kExactTests[kExactTestCount] = {ExactTest::kProb, ExactTest::kX2e,
                                                    ExactTest::kLlr, ExactTest::kDeficit,
                                                    ExactTest::kExcess};

// One value per test, indexed by the test.
template <typename T>
struct PerTest {
  std::array<T, kExactTestCount> value{};
  T& operator[](ExactTest t) { return value[static_cast<size_t>(t)]; }
  const T& operator[](ExactTest t) const { return value[static_cast<size_t>(t)]; }
};

struct ExactP {
  double p = 0;
  double low = 0;  // 95% limits; both equal p under enumeration
  double high = 0;
};

struct ExactResult {
  ExactMethod method = ExactMethod::kEnumeration;
  uint64_t tables = 0;  // enumerated or drawn
  uint64_t seed = 0;    // the sampler's seed (meaningless under enumeration)
  PerTest<ExactP> test;
};

enum class ExactStatus {
  kOk,
  kNoAlleles,      // k < 1 or the count vector does not have k(k+1)/2 cells
  kNegativeCount,  // a genotype count below zero
  kEmptyClass,     // an allele class without copies
  kTooLarge,       // 2N beyond 2^50 copies
  kNoTables,       // sampling asked for zero tables
};

// A short message for a status, for a line on standard error.
const char* exact_status_message(ExactStatus status);

// Checks the sample and options, then enumerates or samples. On any status
// but kOk the result is left untouched.
ExactStatus run_exact_tests(const ExactSample& sample, const ExactOptions& options,
                            ExactResult& result);
