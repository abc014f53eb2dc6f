// The Monte Carlo experiment of one input file: the runs dialogue, the
// progress screen, the replicate loop with Esc, and the final probabilities
// with their 95% confidence intervals.
#pragma once

#include <cstdint>

#include "genotype/genotype_table.h"

// What the experiment reads; all owned by the driver.
struct McInputs {
  int32_t two_n;
  int32_t k;
  const int32_t* allele_total;  // k entries
  const float* expected;        // cells entries
  int32_t cells;
  float het_expected;
  float x2_obs;
  float d_obs;
  int32_t df;
  GenotypeCell* table;  // its mc_hits are counted up
};

// The file's Monte Carlo values; the driver zeroes them for every file.
struct McState {
  bool slots_filled;
  uint32_t runs_made, hits_hw, hits_d_one, hits_d_both;
  float blocks_done, next_step_at;
  float p_hw, p_d_one, p_d_both;
  double ci_hw_low, ci_hw_high;
  double ci_d_one_low, ci_d_one_high;
  double ci_d_both_low, ci_d_both_high;
};

// Runs after the answer 'y'. Ends the program on a run count of 0 (code 0)
// or when its buffers cannot be allocated (code 1).
void run_monte_carlo(const McInputs& in, McState& state);
