// The global U score tests over the units of a scope (a locus over its
// populations, a population over its loci, a file): S = sum of the units'
// U (u_score.h). Under Hardy-Weinberg proportions the units are
// independent, so the law of S is the convolution of theirs;
// p_u_deficit_global = P(S >= S_obs), p_u_excess_global = P(S <= S_obs).
//
// Exact where every unit's law was kept from its enumeration and the
// convolution stays within max_points: the laws go onto one grid, a step
// of 2^-50 of the largest |U| any unit of the scope can take (a unit's U
// lies in [-N, (k - 1) N]), and are summed on it in integers. Sums within m
// steps of S_obs (m units, each rounded to the grid) tie with it, so
// distinct sums closer than m 2^-50 of that range count as ties and no
// others do. Partial sums that the remaining units cannot bring to S_obs
// are settled as they arise.
//
// Otherwise from T joint draws: at each index t one table per unit drawn
// with the direct sampler (sampler.h, pairing_draw.h), S_t = sum of their U
// on the same grid; p = b/T with 95% Clopper-Pearson limits, and (b + 1)/(T
// + 1) where a p is used further. The draws of chunk c of unit i come from
// the stream (seed, c, key of the scope and i), so a run with the same seed
// and scope name draws the same tables whatever the threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "exact/exact_tests.h"

struct UScopeUnit {
  const ExactSample* sample = nullptr;  // the unit's genotype counts
  const ULaw* law = nullptr;            // its law of U when enumerated (keep_u_law), else null
};

inline constexpr uint64_t kDefaultUGlobalPoints = uint64_t{1} << 20;
inline constexpr uint64_t kDefaultUGlobalDraws = 10000;

struct UGlobalOptions {
  uint64_t max_points = kDefaultUGlobalPoints;  // the exact convolution's points at most
  uint64_t draws = kDefaultUGlobalDraws;        // T, when drawn
  uint64_t seed = 0;                            // the run's seed
  uint64_t scope_key = 0;                       // u_scope_key of the scope's name
  unsigned threads = 0;                         // 0: one per core
  // Log-factorials covering the units' 2N (prepare_exact_tables), for the
  // draws; without, the draws build their own.
  const ExactTables* prepared = nullptr;
};

struct UGlobalResult {
  ExactMethod method = ExactMethod::kEnumeration;
  size_t units = 0;
  double s_obs = 0;    // the sum of the units' U
  double s_mean = 0;   // its expectation, -sum N (k - 1)/(2N - 1)
  ExactP deficit;      // P(S >= S_obs); limits equal to p when exact
  ExactP excess;       // P(S <= S_obs)
  uint64_t draws = 0;  // drawn: T, and the hits of each test
  uint64_t hits_deficit = 0;
  uint64_t hits_excess = 0;
};

// A key for the draws of a scope, from its name (stable across runs and
// builds).
uint64_t u_scope_key(std::string_view scope_name);

// The exact convolution of the units' laws; false (result untouched) when a
// unit has no law, a unit's sample is unusable, or the convolution would
// pass max_points.
bool convolve_u_laws(std::span<const UScopeUnit> units, uint64_t max_points, UGlobalResult& result);

// The estimate from options.draws joint draws. On any status but kOk
// (a unit's own, kNoAlleles for no units, kNoTables or kTooManyTables for
// the number of draws) the result is left untouched.
ExactStatus draw_u_global(std::span<const UScopeUnit> units, const UGlobalOptions& options,
                          UGlobalResult& result);

// Exact where convolve_u_laws can, else drawn.
ExactStatus run_u_global_test(std::span<const UScopeUnit> units, const UGlobalOptions& options,
                              UGlobalResult& result);

// The p valid as a p-value for further computation: exact, p itself;
// drawn, (b + 1)/(T + 1).
double u_global_valid_p(const UGlobalResult& result, bool deficit);
