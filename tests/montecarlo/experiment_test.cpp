#include "montecarlo/experiment.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "montecarlo/mc_sample.h"

namespace {

// 100 000 individuals: each replicate shuffles 200 000 copies, long enough
// for the stop to be asked within it.
LocusAnalysis large_locus() {
  return analysed_locus(2, {{0, 0, 30000}, {0, 1, 40000}, {1, 1, 30000}});
}

std::vector<uint32_t> cell_hits(const McResults& r) {
  return std::vector<uint32_t>(r.cell_hits.data, r.cell_hits.data + r.cell_hits.size);
}

McResults run(LocusAnalysis& a, uint32_t runs, uint32_t seed, const McHooks& hooks = {}) {
  McWorkspace work;
  EXPECT_EQ(prepare_workspace(work, a), WorkspaceStatus::kReady);
  McResults r;
  run_replicates(a, work, runs, seed, hooks, r);
  return r;
}

struct StopScript {
  int calls = 0;
  int grant_at = 0;  // the call that is answered true
  uint32_t done_seen = 0;
};

bool scripted_stop(void* ctx) {
  StopScript& s = *static_cast<StopScript*>(ctx);
  return ++s.calls == s.grant_at;
}

void note_done(void* ctx, uint32_t done, const HitCounts&) {
  static_cast<StopScript*>(ctx)->done_seen = done;
}

TEST(Experiment, AStopWithinAReplicateDiscardsItAndKeepsTheCompleteOnes) {
  LocusAnalysis whole = large_locus();
  const McResults one = run(whole, 1, 777u);

  // Count the questions one replicate asks: several within, one after it.
  LocusAnalysis counted = large_locus();
  StopScript count;
  McHooks count_hooks{&count, scripted_stop, nullptr};
  run(counted, 1, 777u, count_hooks);
  ASSERT_GT(count.calls, 2);

  // Granted at the first question inside the second replicate.
  LocusAnalysis cut = large_locus();
  StopScript script;
  script.grant_at = count.calls + 1;
  McHooks hooks{&script, scripted_stop, note_done};
  const McResults r = run(cut, 5, 777u, hooks);
  EXPECT_TRUE(r.stopped);
  EXPECT_EQ(r.runs_made, 1u);
  EXPECT_EQ(script.done_seen, 1u);
  EXPECT_EQ(r.hits_hw, one.hits_hw);
  EXPECT_EQ(r.hits_d_one, one.hits_d_one);
  EXPECT_EQ(r.hits_d_both, one.hits_d_both);
  EXPECT_EQ(r.p_hw, one.p_hw);
  EXPECT_EQ(r.ci_d_both_high, one.ci_d_both_high);
  EXPECT_EQ(cell_hits(r), cell_hits(one));
}

TEST(Experiment, AStopAfterAReplicateKeepsIt) {
  LocusAnalysis a = analysed_locus(2, {{0, 0, 3}, {0, 1, 1}, {1, 1, 4}});
  StopScript script;
  script.grant_at = 3;  // small samples are asked once per replicate
  const McResults r = run(a, 10, 5u, McHooks{&script, scripted_stop, nullptr});
  EXPECT_TRUE(r.stopped);
  EXPECT_EQ(r.runs_made, 3u);
  EXPECT_EQ(r.p_hw, mc_proportion(r.hits_hw, 3));
}

TEST(Experiment, TheSeedFixesEveryFigureWhateverTheHooks) {
  LocusAnalysis a = analysed_locus(3, {{0, 0, 7}, {0, 1, 5}, {1, 2, 9}, {2, 2, 2}, {0, 2, 4}});
  LocusAnalysis b = analysed_locus(3, {{0, 0, 7}, {0, 1, 5}, {1, 2, 9}, {2, 2, 2}, {0, 2, 4}});
  StopScript never;
  const McResults ra = run(a, 500, 42u);
  const McResults rb = run(b, 500, 42u, McHooks{&never, scripted_stop, note_done});
  EXPECT_EQ(never.done_seen, 500u);
  EXPECT_FALSE(rb.stopped);
  EXPECT_EQ(ra.seed, 42u);
  EXPECT_EQ(ra.runs_made, rb.runs_made);
  EXPECT_EQ(ra.hits_hw, rb.hits_hw);
  EXPECT_EQ(ra.hits_d_one, rb.hits_d_one);
  EXPECT_EQ(ra.hits_d_both, rb.hits_d_both);
  EXPECT_EQ(cell_hits(ra), cell_hits(rb));
  const McResults rc = run(a, 500, 43u);
  EXPECT_NE(cell_hits(rc), cell_hits(ra));
}

TEST(Experiment, ExperimentsOnTwoThreadsGetTheirOwnSequences) {
  LocusAnalysis a = analysed_locus(3, {{0, 0, 700}, {0, 1, 500}, {1, 2, 900}, {2, 2, 200}});
  const McResults alone = run(a, 2000, 11u);
  McResults on_threads[2];
  std::thread first([&] { on_threads[0] = run(a, 2000, 11u); });
  std::thread second([&] { on_threads[1] = run(a, 2000, 11u); });
  first.join();
  second.join();
  for (const McResults& r : on_threads) {
    EXPECT_EQ(r.hits_hw, alone.hits_hw);
    EXPECT_EQ(r.hits_d_one, alone.hits_d_one);
    EXPECT_EQ(cell_hits(r), cell_hits(alone));
  }
}

TEST(Experiment, NoHitMeansALowerLimitOfZero) {
  McResults r;
  r.runs_made = 100;
  r.hits_hw = 0;
  r.hits_d_one = 100;
  r.hits_d_both = 40;
  finish_results(r);
  EXPECT_EQ(r.p_hw, 0.0f);
  EXPECT_EQ(r.ci_hw_low, 0.0);
  EXPECT_GT(r.ci_hw_high, 0.0);
  EXPECT_EQ(r.p_d_one, 1.0f);
  EXPECT_GT(r.ci_d_both_low, 0.0);
  EXPECT_LT(r.ci_d_both_low, 0.4);
}

}  // namespace
