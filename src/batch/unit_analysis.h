// The analysis of one batch unit: a genotype table in memory (a count file
// as read, or one population at one locus of a Genepop file) through the
// statistics and, when asked, the Monte Carlo experiment and the exact
// tests. Both experiments of a unit share its one seed.
#pragma once

#include <cstdint>
#include <string>

#include "batch/command_line.h"
#include "exact/exact_tests.h"
#include "genotype/genotype_table.h"
#include "montecarlo/experiment.h"
#include "stats/locus_analysis.h"

struct GenotypeUnit {
  GenotypeTable table;  // k(k+1)/2 cells as read
  int32_t k = 0;        // as read
  int32_t two_n = 0;
  // The permutation test's limit: a unit with more allele classes gets no
  // experiment (its Monte Carlo cells are NA) but every other test.
  int32_t mc_max_k = 128;
};

struct UnitResult {
  bool ok = false;
  std::string reason;  // when !ok: the failure in the screen's words
  LocusAnalysis locus;
  bool with_mc = false;
  McResults mc;
  double p_x2 = 0;  // upper tail of chi-square with df degrees of freedom; NaN if none
  bool with_exact = false;
  ExactResult exact;
  uint32_t seed = 0;  // the unit's seed
};

// The hooks are handed to the experiment (stop and progress). The seed is
// options.seed, or the clock when none was given. The exact tests run on the
// table with its empty classes dropped; their failure fails the unit.
UnitResult analyse_unit(GenotypeUnit unit, const BatchOptions& options, const McHooks& hooks);

// The exact tests of a unit analysed without failure, on its table with the
// empty classes dropped, seeded with its seed, the sampler on `threads`
// threads (0: one per core), with the run's prepared tables when given. A
// non-ok status fails the unit.
void add_exact_tests(UnitResult& r, const BatchOptions& options, unsigned threads,
                     const ExactTables* prepared = nullptr);

// P(chi-square with df degrees of freedom >= x2); NaN where it has no value.
double chi_square_upper_tail(double x2, int32_t df);

// The reason an analysis failed, as the screen words it.
std::string analysis_failure_reason(AnalysisStatus status);
