// The record of one row's derived figures, made once when its unit is
// finished and handed to the row, the summary and the results page: the
// size, every statistic, the combined tests' valid p-values and the leading
// p with the test it comes from.
//
// The leading p is the p-value the false discovery rate is controlled on,
// valid as a p-value: the probability test's (p_prob enumerated, else the
// sampled or sequential valid p), the permutation test's (b + 1)/(m + 1) for
// b hits of X2 among m replicates, or p_x2. Never 0 where it was estimated
// from draws; NaN where the unit has none. Which test leads is the run's
// choice (lead_test_for), kept with the p so that a kind or an option may
// choose another.
#pragma once

#include <array>
#include <cstdint>
#include <limits>

#include "figures/unit_statistics.h"
#include "report/unit_result.h"

enum class LeadTest { kChiSquare, kPermutation, kExactProb, kStructure };

// The lead of a run: with the exact tests the probability test, else with
// an experiment the permutation test, else the chi-square test; with the
// structure-robust test, that test above all.
LeadTest lead_test_for(bool exact, bool experiment, bool structure = false);

struct LeadP {
  double p = std::numeric_limits<double>::quiet_NaN();
  LeadTest test = LeadTest::kChiSquare;
};

LeadP leading_p(const UnitResult& r, LeadTest test);

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
};

// r null: nothing was tested (source_k and source_n are the source's).
RowFigures row_figures(const UnitResult* r, int32_t source_k, int32_t source_n, LeadTest lead);
