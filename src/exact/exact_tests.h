// The exact conditional tests of Hardy-Weinberg proportions for one sample.
//
// Every genotype table with the sample's allele counts has the conditional
// probability P(t) = N! prod n_i! 2^H / ((2N)! prod t_ij!). Each test's p is
// the total probability of the tables at least as extreme as the sample, ties
// within a relative 1e-7 of the sample's value counting as at least as
// extreme: p_prob P(t) <= P(s), p_x2e X2(t) >= X2(s), p_llr G2(t) >= G2(s),
// p_deficit H(t) <= H(s), p_excess H(t) >= H(s), and the score tests
// p_u_deficit U(t) >= U(s), p_u_excess U(t) <= U(s) (u_score.h: U compared
// exactly in integers where it can be, else within the same margin). For two
// alleles U falls as H rises, so the score tests are p_deficit and p_excess.
//
// With at most max_tables tables they are all enumerated and every p is within
// 1e-9 of its exact value, p_prob and its mid-p also relative to themselves
// down to the smallest double, and their log10 beside them further down
// still; otherwise `tables` tables are drawn
// from exactly that distribution and each p carries its 95% Clopper-Pearson
// limits. With tables_auto the draws stop at the 20th table that hits p_prob
// (Besag and Clifford's sequential p-value). The figures depend on the seed
// and the stream key only, never on the number of threads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "exact/exact_limits.h"
#include "exact/log_factorial.h"
#include "exact/u_score.h"

struct ExactSample {
  int32_t k = 0;                // allele classes, each with at least one copy
  std::vector<int64_t> counts;  // t_ij, i <= j, at index i*k + j - i*(i+1)/2
};

// What the exact tests build once per run rather than per sample: the
// log-factorial table, sized to the largest sample of the run (2N copies).
// Make it before any worker thread starts; samples share it, filling its
// entries as they ask for them.
struct ExactTables {
  int64_t max_two_n = 0;
  LogFactorials log_factorials;
};

ExactTables prepare_exact_tables(int64_t max_two_n);

struct ExactOptions {
  uint64_t max_tables = kDefaultMaxTables;  // enumerate up to this many; 0 forces sampling
  uint64_t tables = kDefaultTables;         // tables drawn when sampling, 1..kMaxExactTables
  uint64_t seed = 0;
  // Mixed into every stream of the sample (for example a variant site's
  // identity under the run's seed); 0 gives the streams of the seed alone.
  uint64_t stream_key = 0;
  // Sampling stops at the kSequentialHits-th table that hits p_prob, or at
  // `tables` draws without that many.
  bool tables_auto = false;
  unsigned threads = 0;  // 0: one per core
  // Keep the law of U from an enumeration (ExactResult::u_law), for the
  // tests over several units.
  bool keep_u_law = false;
  // From prepare_exact_tables; when null, or too small for the sample, the
  // tests build a table of their own for it.
  const ExactTables* prepared = nullptr;
};

// The options' prepared log-factorials when they cover `copies`, else a
// table built into `own` for them.
const LogFactorials& exact_log_factorials(const ExactOptions& options, int64_t copies,
                                          ExactTables& own);

enum class ExactMethod { kEnumeration, kSampling };

// The tests, in the order of the report and the batch columns.
enum class ExactTest { kProb, kX2e, kLlr, kDeficit, kExcess, kUDeficit, kUExcess };
constexpr size_t kExactTestCount = 7;
constexpr ExactTest kExactTests[kExactTestCount] = {
    ExactTest::kProb,   ExactTest::kX2e,      ExactTest::kLlr,    ExactTest::kDeficit,
    ExactTest::kExcess, ExactTest::kUDeficit, ExactTest::kUExcess};

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

// How the draws of a sampled result ended.
enum class SamplingStop {
  kFixedCount,       // all `tables` drawn, as asked
  kSequentialHits,   // tables_auto: stopped at the kSequentialHits-th hit of p_prob
  kSequentialLimit,  // tables_auto: `tables` drawn with fewer hits
};

struct ExactResult {
  ExactMethod method = ExactMethod::kEnumeration;
  uint64_t tables = 0;  // enumerated, or drawn (up to the stop)
  uint64_t seed = 0;    // the sampler's seed (meaningless under enumeration)
  // Each test's p: under enumeration exact; sampled, hits / tables (for
  // p_prob stopped at its 20th hit, 20 / tables, with the limits of inverse
  // binomial sampling; the other tests then estimates from the same draws).
  PerTest<ExactP> test;
  PerTest<uint64_t> hits{};  // sampled: the tables that hit each test
  SamplingStop stop = SamplingStop::kFixedCount;
  // Mid-p of p_prob: p_prob less half the probability of the tables exactly
  // as probable as the sample (within the tie margin); NaN when sampled.
  double prob_mid = 0;
  // Under enumeration, log10 of p_prob and of its mid-p to 1e-9 relative,
  // also where they lie below the double range (and p_prob is 0); NaN when
  // sampled.
  double log10_prob = 0;
  double log10_prob_mid = 0;
  double u_score = 0;  // U of the sample
  // The law of U, kept from an enumeration when asked (keep_u_law); empty
  // otherwise.
  ULaw u_law;
};

// A sampled p and its 95% limits from `hits` of `tables` draws: hits/tables
// with Clopper-Pearson limits, or, stopped at the kSequentialHits-th hit,
// the limits of inverse binomial sampling.
ExactP sampled_p(uint64_t hits, uint64_t tables, SamplingStop stop);

// The sampled p that is valid as a p-value: (b + 1)/(m + 1), or b/l when
// stopped at the b-th hit at draw l.
double valid_sampled_p(uint64_t hits, uint64_t tables, SamplingStop stop);

// The p of the probability test that is valid as a p-value, for further
// computation (multiple-testing adjustment): enumerated, p_prob itself;
// sampled to a fixed count m with b hits, (b + 1)/(m + 1); stopped at the
// 20th hit at draw l, 20/l; drawn to the limit T without 20 hits,
// (b + 1)/(T + 1).
double exact_leading_p(const ExactResult& result);

// log10 of exact_leading_p, to 1e-9 relative wherever the p is enumerated,
// also below the double range where exact_leading_p is 0.
double exact_leading_log10_p(const ExactResult& result);

// The same for any test: p_prob as exact_leading_p; every other test
// enumerated as it is, sampled (b + 1)/(m + 1) with its own b hits of the m
// tables drawn (up to the stop).
double exact_valid_p(const ExactResult& result, ExactTest test);

enum class ExactStatus {
  kOk,
  kNoAlleles,      // k < 1 or the count vector does not have k(k+1)/2 cells
  kNegativeCount,  // a genotype count below zero
  kEmptyClass,     // an allele class without copies
  kTooLarge,       // 2N beyond 2^50 copies
  kNoTables,       // sampling asked for zero tables
  kTooManyTables,  // sampling asked for more than kMaxExactTables
};

// A short message for a status, for a line on standard error.
const char* exact_status_message(ExactStatus status);

// Whether a sample can go to the exact tests (kOk), or why not.
ExactStatus check_exact_sample(const ExactSample& sample);

// Checks the sample and options, then enumerates or samples. On any status
// but kOk the result is left untouched.
ExactStatus run_exact_tests(const ExactSample& sample, const ExactOptions& options,
                            ExactResult& result);
