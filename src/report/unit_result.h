// One analysed unit (a count file, or one population at one locus): what
// both front ends and the report read. The locus statistics always; the
// Monte Carlo results when an experiment ran, the exact tests when they ran;
// the asymptotic P of X2; and the one seed both experiments drew from.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>

#include "exact/exact_tests.h"
#include "montecarlo/experiment.h"
#include "stats/locus_analysis.h"
#include "structure/inbreeding_fit.h"

struct UnitResult {
  LocusAnalysis locus;  // analysed without failure
  std::optional<McResults> mc;
  bool mc_beyond_memory = false;  // asked for, but more than the process may use
  std::optional<ExactResult> exact;
  // The structure-robust test of the unit's population at its site, where
  // the run has one and the site is biallelic and autosomal.
  std::optional<InbreedingTest> structure;
  double p_x2 = std::numeric_limits<double>::quiet_NaN();  // NaN where it has no value
  uint32_t seed = 0;
  uint64_t stream_key = 0;  // mixed into the seed's streams; 0: the seed alone
};
