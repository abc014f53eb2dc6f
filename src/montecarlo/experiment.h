// The Monte Carlo experiment of one locus: a loop of replicates from a given
// seed with a stop check and a progress callback, and the final
// probabilities with their 95% confidence intervals. It shows nothing; a
// front end asks for the runs, draws the progress and words the outcome.
//
// Each genotype's hits are counted too (its contribution to the replicate's
// chi-square at least its observed one), so a report can give its
// probability.
#pragma once

#include <cstdint>

#include "genotype/buffer.h"
#include "montecarlo/replicate.h"
#include "montecarlo/replicate_hits.h"
#include "stats/locus_analysis.h"

struct McResults {
  uint32_t seed = 0;
  uint32_t runs_made = 0;  // complete replicates only
  uint32_t hits_hw = 0, hits_d_one = 0, hits_d_both = 0;
  bool stopped = false;    // the stop check ended the run early
  float p_hw = 0, p_d_one = 0, p_d_both = 0;
  double ci_hw_low = 0, ci_hw_high = 0;
  double ci_d_one_low = 0, ci_d_one_high = 0;
  double ci_d_both_low = 0, ci_d_both_high = 0;
  Buffer<uint32_t> cell_hits;  // one per genotype cell
};

enum class WorkspaceStatus {
  kReady,
  kOutOfMemory,   // an allocation failed
  kBeyondMemory,  // more than the process may use (memory_budget.h); nothing allocated
};

// Allocates the replicates' arrays (McWorkspace, replicate.h) and computes the
// reference contributions, the cells' expectations and the observed
// chi-square in double.
WorkspaceStatus prepare_workspace(McWorkspace& work, const LocusAnalysis& locus);

struct McHooks {
  void* ctx = nullptr;
  // Asked after every replicate and, in samples of tens of thousands of
  // copies, within each replicate too; true ends the run. A replicate cut
  // short counts nothing.
  bool (*stop_requested)(void* ctx) = nullptr;
  // After every replicate that goes on to the next one: done replicates so
  // far (1-based index of the replicate just made) and their hits.
  void (*replicate_done)(void* ctx, uint32_t done, const HitCounts& hits) = nullptr;
};

// Seeds the generator with seed and makes up to runs replicates. Fills
// seed, runs_made, the hit counts (the workspace's cell hits move there) and
// stopped, then the probabilities and intervals (finish_results). runs >= 1.
void run_replicates(const LocusAnalysis& locus, McWorkspace& work, uint32_t runs, uint32_t seed,
                    const McHooks& hooks, McResults& results);

// hits / runs in extended precision, rounded to float32.
float mc_proportion(uint32_t hits, uint32_t runs);

// The three probabilities and their 95% intervals from runs_made and the hit
// counts. A probability of 0 has 0 as its lower limit. With no complete
// replicate everything stays 0.
void finish_results(McResults& results);
