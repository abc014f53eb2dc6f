// The record of one row's derived figures, made once when its unit is
// finished and handed to the row, the summary and the results page: the
// size, every statistic, the combined tests' valid p-values and the leading
// p with the test it comes from.
//
// The leading p is the p-value the false discovery rate is controlled on,
// valid as a p-value: the probability test's (p_prob enumerated, else the
// sampled or sequential valid p), the permutation test's (b + 1)/(m + 1) for
// b hits of X2 among m replicates, or p_x2. Where the permutation test was
// chosen but its replicates are not uniform permutations (above 32768
// copies) or none was made, the exact p leads where it ran, else p_x2. Never 0 where it was estimated
// from draws; NaN where the unit has none. Which test leads is the run's
// choice (lead_test_for), kept with the p so that a kind or an option may
// choose another.
#pragma once

#include <array>
#include <cstdint>
#include <limits>

#include "figures/hwe_filter.h"
#include "figures/unit_statistics.h"
#include "exact/x_linked_exact.h"
#include "report/unit_result.h"

// kXLinkedProb: the X-linked exact test's p_x_prob, on the rows of X
// outside the pseudo-autosomal regions when the sexes are known.
enum class LeadTest { kChiSquare, kPermutation, kExactProb, kXLinkedProb, kStructure };

// The lead of a run: with the exact tests the probability test, else with
// an experiment the permutation test, else the chi-square test; with the
// structure-robust test, that test above all.
LeadTest lead_test_for(bool exact, bool experiment, bool structure = false);

// The leading p with its log10 (to 1e-9 relative where enumerated, also
// below the double range where p is 0; of the valid p where sampled) and,
// where the test has one (enumerated exact tests), its mid-p and the mid-p's
// log10; NaN where there is none.
struct LeadP {
  double p = std::numeric_limits<double>::quiet_NaN();
  LeadTest test = LeadTest::kChiSquare;
  double log10 = std::numeric_limits<double>::quiet_NaN();
  double mid_p = std::numeric_limits<double>::quiet_NaN();
  double mid_log10 = std::numeric_limits<double>::quiet_NaN();
};

LeadP leading_p(const UnitResult& r, LeadTest test);

// What a row counted by sex adds: its males and females with a call, the
// males' heterozygous calls and the X-linked tests (NaN without them).
struct SexFigures {
  bool by_sex = false;
  int32_t males = 0;
  int32_t females = 0;
  int32_t male_het = 0;
  double p_sex_af = std::numeric_limits<double>::quiet_NaN();
  double p_x_prob = std::numeric_limits<double>::quiet_NaN();
  double p_x_prob_mid = std::numeric_limits<double>::quiet_NaN();
};

struct RowFigures {
  bool tested = false;
  // The analysed unit's classes with copies and individuals; for a unit
  // with nothing tested, what its source counted.
  int32_t k = 0;
  int32_t n = 0;
  LeadP lead;
  PerStatistic<double> stat;  // NaN where nothing was tested
  // The valid p of each of kCombinedTests; NaN without the exact tests.
  std::array<double, kCombinedTestCount> combined{};
  SexFigures sex;
  // The Hardy-Weinberg filter's verdict on the unit (hwe_filter.h), where
  // the run has one.
  HweVerdict hwe = HweVerdict::kNone;
};

// The filter's verdict on a lead: its mid-p decides with `midp` where the
// test has one, else its p.
HweVerdict hwe_verdict_of(const HweThreshold& threshold, const LeadP& lead);

// r null: nothing was tested (source_k and source_n are the source's).
RowFigures row_figures(const UnitResult* r, int32_t source_k, int32_t source_n, LeadTest lead);

// The figures of a row counted by sex: its counts, and with the X-linked
// tests (x null: none) their p-values, p_x_prob leading.
void add_sex_figures(RowFigures& figures, int32_t males, int32_t females, int32_t male_het,
                     const XLinkedResult* x);
