#include "montecarlo/experiment.h"

#include <utility>

#include "montecarlo/memory_budget.h"
#include "montecarlo/rng.h"
#include "stats/expected_x2.h"
#include "stats/proportion_limits.h"

namespace {

void interval(float p, uint32_t hits, double runs, double* low, double* high) {
  prob_ci_95(p, low, high, runs);
  if (hits == 0) *low = 0.0;
}

}  // namespace

WorkspaceStatus prepare_workspace(McWorkspace& work, const LocusAnalysis& locus) {
  work.slots_filled = false;
  if (workspace_bytes(locus.two_n, locus.cells) > usable_memory_bytes())
    return WorkspaceStatus::kBeyondMemory;
  const size_t cells = static_cast<size_t>(locus.cells);
  if (!work.slots.allocate_zeroed(static_cast<size_t>(locus.two_n)) ||
      !work.sim_table.allocate(cells) || !work.reference_x2.allocate(cells) ||
      !work.expectation.allocate(cells) || !work.cell_hits.allocate_zeroed(cells))
    return WorkspaceStatus::kOutOfMemory;
  reference_contributions(locus.table.data, locus.expected.data, locus.cells,
                          work.reference_x2.data);
  fill_cell_expectations(locus.allele_total.data, locus.k, locus.two_n, work.expectation.data);
  // The observed counts pass through sim_table, so that they are summed
  // exactly as a replicate's are.
  for (int32_t c = 0; c < locus.cells; ++c) work.sim_table[c] = locus.table[c].count;
  work.x2_obs = table_chi_square(work.sim_table.data, work.expectation.data, locus.cells);
  return WorkspaceStatus::kReady;
}

float mc_proportion(uint32_t hits, uint32_t runs) {
  return static_cast<float>(static_cast<long double>(hits) / static_cast<long double>(runs));
}

void run_replicates(const LocusAnalysis& locus, McWorkspace& work, uint32_t runs, uint32_t seed,
                    const McHooks& hooks, McResults& results) {
  results.seed = seed;
  rng_seed(seed);
  const ObservedScaled observed = scale_observed(work.x2_obs, locus.d_obs);
  ReplicateStop stop{hooks.stop_requested, hooks.ctx, false};
  ReplicateStop* inner_stop = hooks.stop_requested != nullptr ? &stop : nullptr;

  // Kept in registers during the loop and written back once it ends.
  HitCounts hits{results.hits_hw, results.hits_d_one, results.hits_d_both};
  uint32_t made = runs;
  for (uint32_t i = 0; i < runs; ++i) {
    const ReplicateScores scores = mc_replicate(locus, work, inner_stop);
    if (stop.stopped) {
      made = i;
      results.stopped = true;
      break;
    }
    count_replicate_hits(observed, scores, hits);
    if (hooks.stop_requested != nullptr && hooks.stop_requested(hooks.ctx)) {
      made = i + 1;
      results.stopped = true;
      break;
    }
    if (hooks.replicate_done != nullptr) hooks.replicate_done(hooks.ctx, i + 1, hits);
  }
  results.runs_made = made;
  results.hits_hw = hits.hw;
  results.hits_d_one = hits.d_one;
  results.hits_d_both = hits.d_both;
  results.cell_hits = std::move(work.cell_hits);
  finish_results(results);
}

void finish_results(McResults& r) {
  if (r.runs_made == 0) return;
  r.p_hw = mc_proportion(r.hits_hw, r.runs_made);
  r.p_d_one = mc_proportion(r.hits_d_one, r.runs_made);
  r.p_d_both = mc_proportion(r.hits_d_both, r.runs_made);
  const double runs = static_cast<double>(r.runs_made);
  interval(r.p_hw, r.hits_hw, runs, &r.ci_hw_low, &r.ci_hw_high);
  interval(r.p_d_one, r.hits_d_one, runs, &r.ci_d_one_low, &r.ci_d_one_high);
  interval(r.p_d_both, r.hits_d_both, runs, &r.ci_d_both_low, &r.ci_d_both_high);
}
