// Speed of the exact tests: complete enumeration in tables per second for
// k = 2..6, the direct sampler's time per table for k = 6 as N grows, and
// the sampler against one permutation replicate of the same sample.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "exact/enumerate.h"
#include "exact/exact_tests.h"
#include "exact/sampler.h"
#include "exact/table_stats.h"
#include "montecarlo/replicate.h"
#include "montecarlo/rng.h"
#include "tests/montecarlo/mc_sample.h"

namespace {

// n individuals whose alleles are drawn independently with equal
// frequencies: a sample in Hardy-Weinberg proportions.
ExactSample hw_sample(int32_t k, int64_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int32_t> allele(0, k - 1);
  ExactSample s{k, std::vector<int64_t>(static_cast<size_t>(k) * (k + 1) / 2, 0)};
  for (int64_t m = 0; m < n; ++m) {
    int32_t a = allele(gen), b = allele(gen);
    if (a > b) std::swap(a, b);
    ++s.counts[cell_index(a, b, k)];
  }
  return s;
}

// Samples of about 10^5 to 10^6 tables each.
int64_t enumeration_size(int32_t k) {
  switch (k) {
    case 2: return 2000000;
    case 3: return 700;
    case 4: return 60;
    case 5: return 25;
    default: return 20;
  }
}

void BM_EnumerateTables(benchmark::State& state) {
  const auto k = static_cast<int32_t>(state.range(0));
  const TableStats s = prepare_table_stats(hw_sample(k, enumeration_size(k), 7));
  const uint64_t tables = count_tables(s, uint64_t{1} << 40);
  for (auto _ : state) benchmark::DoNotOptimize(enumerate_tables(s));
  state.counters["tables"] = static_cast<double>(tables);
  state.counters["tables_per_s"] = benchmark::Counter(
      static_cast<double>(tables), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_EnumerateTables)->DenseRange(2, 6)->ArgName("k")->Unit(benchmark::kMillisecond);

void BM_CountTables(benchmark::State& state) {
  const auto k = static_cast<int32_t>(state.range(0));
  const TableStats s = prepare_table_stats(hw_sample(k, enumeration_size(k), 7));
  for (auto _ : state) benchmark::DoNotOptimize(count_tables(s, uint64_t{1} << 40));
}
BENCHMARK(BM_CountTables)->DenseRange(2, 6)->ArgName("k")->Unit(benchmark::kMillisecond);

constexpr uint64_t kBatch = 4096;

void per_table(benchmark::State& state) {
  state.counters["per_table"] = benchmark::Counter(
      static_cast<double>(kBatch),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// One thread: drawing and scoring kBatch tables per iteration.
void BM_SampleTables(benchmark::State& state) {
  const TableStats s = prepare_table_stats(hw_sample(6, state.range(0), 11));
  uint64_t seed = 1;
  for (auto _ : state) benchmark::DoNotOptimize(sample_tables(s, kBatch, seed++, 1));
  per_table(state);
}
BENCHMARK(BM_SampleTables)
    ->ArgName("N")
    ->Arg(50)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000);

// The drawing alone, without the statistics.
void BM_DrawTable(benchmark::State& state) {
  const TableStats s = prepare_table_stats(hw_sample(6, state.range(0), 11));
  std::vector<int64_t> t(s.cell.size()), work(s.k);
  Rng64 r = rng64_stream(1, 0);
  for (auto _ : state) {
    draw_table(s, r, t.data(), work.data());
    benchmark::DoNotOptimize(t.data());
  }
}
BENCHMARK(BM_DrawTable)->ArgName("N")->Arg(50)->Arg(1000)->Arg(1000000);

// The same sample of N = 78 000 (k = 6) both ways: one permutation replicate
// of the classic test, and one table of the sampler with its five tests.
McSample replicate_sample() { return make_random_sample(6, 156000, 0.1, 2024u); }

void BM_PermutationReplicate78k(benchmark::State& state) {
  McSample s = replicate_sample();
  McWork w{s};
  rng_seed(12345);
  float d_sim = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(mc_replicate(s.two_n, s.k, s.allele_total.data, s.expected.data,
                                          w.slots.data, w.sim_table.data, s.cells,
                                          s.het_expected, &d_sim, s.reference_x2.data,
                                          s.cell_hits.data, &w.slots_filled));
  }
}
BENCHMARK(BM_PermutationReplicate78k)->Unit(benchmark::kMicrosecond);

void BM_SampledTable78k(benchmark::State& state) {
  McSample m = replicate_sample();
  ExactSample e{m.k, std::vector<int64_t>(static_cast<size_t>(m.cells))};
  for (int32_t c = 0; c < m.cells; ++c) e.counts[c] = m.table[c].count;
  const TableStats s = prepare_table_stats(e);
  uint64_t seed = 1;
  for (auto _ : state) benchmark::DoNotOptimize(sample_tables(s, kBatch, seed++, 1));
  per_table(state);
}
BENCHMARK(BM_SampledTable78k);

}  // namespace

BENCHMARK_MAIN();
