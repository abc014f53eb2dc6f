// Speed of one Monte Carlo replicate, in time per allele copy (the
// "per_copy" counter), against the step-by-step reference and against the
// bare generator recurrence (two_n draws), which no replicate can beat. Also
// the cost of the key poll the run control makes after every replicate.
//
// For the terminal backend's poll, run it under a pseudo-terminal, e.g.
//   script -qc "bench/replicate_bench --benchmark_filter=Terminal|Poll
//     --benchmark_out=poll.txt --benchmark_out_format=console" /dev/null
// (one line), and read poll.txt: the terminal shows the program's screen.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "console/console.h"
#include "console/terminal.h"
#include "app/progress_screen.h"
#include "montecarlo/replicate.h"
#include "montecarlo/rng.h"
#include "tests/montecarlo/mc_sample.h"
#include "tests/montecarlo/replicate_reference.h"

namespace {

McSample make_bench_sample(int32_t k, int32_t two_n) {
  if (k == 6 && two_n == 106) {
    // The sample file of the help screen.
    return make_sample(39, {{33, 34, 1}, {32, 32, 10}, {36, 38, 25}, {32, 35, 16}, {33, 35, 1}});
  }
  return make_random_sample(k, two_n, 0.1, 2024u);
}

void per_copy(benchmark::State& state, int32_t two_n) {
  // Seconds per copy; the console shows it with an SI prefix ("2.3n").
  state.counters["per_copy"] = benchmark::Counter(
      static_cast<double>(two_n),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

template <class Replicate>
void time_replicates(benchmark::State& state, Replicate replicate) {
  const auto k = static_cast<int32_t>(state.range(0));
  const auto two_n = static_cast<int32_t>(state.range(1));
  McSample s = make_bench_sample(k, two_n);
  rng_seed(12345);
  for (auto _ : state) {
    const ReplicateScores scores = replicate(s);
    benchmark::DoNotOptimize(scores.x2);
    benchmark::DoNotOptimize(scores.d);
  }
  per_copy(state, two_n);
}

// With a stop check that is never granted, as a front end's Esc or Ctrl-C
// check asks it: the cost of asking within the replicate.
bool never_stop(void*) { return false; }

void BM_Replicate(benchmark::State& state) {
  time_replicates(state, [](McSample& s) { return mc_replicate(s.locus, s.work); });
}
void BM_ReplicateStopCheck(benchmark::State& state) {
  time_replicates(state, [](McSample& s) {
    ReplicateStop stop{never_stop, nullptr, false};
    return mc_replicate(s.locus, s.work, &stop);
  });
}
void BM_ReplicateReference(benchmark::State& state) {
  time_replicates(state, [](McSample& s) {
    McWorkspace& w = s.work;
    return reference_mc_replicate(s.locus, w.slots.data, w.sim_table.data, w.reference_x2.data,
                                  w.cell_hits.data, &w.slots_filled);
  });
}

void BM_GeneratorFloor(benchmark::State& state) {
  const auto two_n = static_cast<int32_t>(state.range(1));
  rng_seed(12345);
  for (auto _ : state) {
    uint32_t mix = 0;
    for (int32_t i = 0; i < two_n; ++i) mix += rng_next();
    benchmark::DoNotOptimize(mix);
  }
  per_copy(state, two_n);
}

void replicate_sizes(benchmark::internal::Benchmark* b) {
  b->Args({6, 106})->Args({6, 2000})->Args({6, 20000})->Args({6, 200000});
  b->Args({40, 2000})->Args({128, 2000});
  b->ArgNames({"k", "two_n"});
}

BENCHMARK(BM_Replicate)->Apply(replicate_sizes);
BENCHMARK(BM_ReplicateStopCheck)->Apply(replicate_sizes);
BENCHMARK(BM_ReplicateReference)->Apply(replicate_sizes);
BENCHMARK(BM_GeneratorFloor)->Apply(replicate_sizes);

// con_kbhit as the run control calls it, with the terminal backend on
// standard input. Only meaningful on a terminal.
void BM_KbhitPollTerminal(benchmark::State& state) {
  if (!isatty(STDIN_FILENO)) {
    state.SkipWithError("standard input is not a terminal");
    return;
  }
  terminal_open();
  for (auto _ : state) benchmark::DoNotOptimize(con_kbhit());
  terminal_close();
}
BENCHMARK(BM_KbhitPollTerminal);

// One refresh of the figures during the run (every 10 to 150 replicates),
// drawn on the terminal.
void BM_RefreshTerminal(benchmark::State& state) {
  if (!isatty(STDIN_FILENO)) {
    state.SkipWithError("standard input is not a terminal");
    return;
  }
  terminal_open();
  uint32_t runs = 0;
  for (auto _ : state) {
    ++runs;
    show_runs_made(45, runs);
    show_probabilities(0.25f + static_cast<float>(runs % 7) * 0.01f, 0.5f, 0.125f);
    con_goto(20, 13);
  }
  terminal_close();
}
BENCHMARK(BM_RefreshTerminal);

// What one look at the descriptor costs when it is made.
void BM_PollSyscall(benchmark::State& state) {
  pollfd p{STDIN_FILENO, POLLIN, 0};
  for (auto _ : state) benchmark::DoNotOptimize(poll(&p, 1, 0));
}
BENCHMARK(BM_PollSyscall);

}  // namespace

BENCHMARK_MAIN();
