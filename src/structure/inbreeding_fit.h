// The likelihood of an inbreeding coefficient F given individual allele
// frequencies pi_i:
//   P(0) = (1-pi)^2 + pi(1-pi)F, P(1) = 2pi(1-pi)(1-F), P(2) = pi^2 + pi(1-pi)F.
// Relative to F = 0 a heterozygote contributes log(1-F) and a homozygote
// log(1 + F r) with r = pi/(1-pi) for genotype 0 and (1-pi)/pi for 2, so
//   l(F) - l(0) = het log(1-F) + sum over homozygotes of log(1 + F r),
// which is concave in F. It is maximised over [lower, 1], where every
// genotype of every individual has P >= 0 (lower = -min_i min(pi_i,
// 1-pi_i)/max(pi_i, 1-pi_i), from all the individuals tested), by Newton
// steps kept inside a bracket of the root of the score; a maximum on a
// bound (no heterozygote: F = 1; only heterozygotes: F = lower) is taken as
// it is.
//
// The statistic is 2[l(F^) - l(0)], its P the chi-square tail with one
// degree of freedom; the one-sided P come from the signed root
// z = sign(F^) sqrt(statistic): deficit P(Z >= z), excess P(Z <= z). The
// sum is kept in extended precision; tails are complements, never 1 - cdf.
#pragma once

#include <cstdint>

enum class FitOutcome {
  kTested,
  kNoCalls,    // nobody called
  kOneAllele,  // only one allele among the called: nothing to test
};

struct InbreedingTest {
  FitOutcome outcome = FitOutcome::kNoCalls;
  int32_t called = 0;
  double f = 0;          // F^
  double statistic = 0;  // 2[l(F^) - l(0)]
  double p = 1;          // two-sided
  double p_deficit = 1;  // F > 0
  double p_excess = 1;   // F < 0
  // The least frequency of the rarer allele, min(pi, 1 - pi), over the
  // called individuals (set by the caller that knows the pi).
  double least_frequency = 0;
};

// ratio: the r of each called homozygote; lower < 0 as above. Needs
// homozygotes + heterozygotes > 0 and both alleles present.
InbreedingTest fit_inbreeding(const double* ratio, int32_t homozygotes, int32_t heterozygotes,
                              double lower);

// The result of a population that cannot be tested (outcome not kTested):
// F and every P NaN.
InbreedingTest untested(FitOutcome outcome, int32_t called);
