// Speed of the exact tests: complete enumeration in tables per second for
// k = 2..6, the direct sampler's time per table for k = 6 as N grows, and
// the sampler against one permutation replicate of the same sample, and the
// whole exact analysis of a Genepop file of 400 population x locus units;
// and the sites of a sequencing study: biallelic sites one by one, and 2000
// multi-allelic sites with sequential stopping on two threads.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "exact/enumerate.h"
#include "exact/exact_tests.h"
#include "exact/pairing_draw.h"
#include "exact/sampler.h"
#include "exact/table_stats.h"
#include "montecarlo/replicate.h"
#include "montecarlo/rng.h"
#include "tests/exact/full_log_factorials.h"
#include "tests/montecarlo/mc_sample.h"
#ifdef HWMC_GENEPOP_SAMPLE
#include "genepop/genepop_reader.h"
#endif

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
    ++s.counts[tri_index(a, b, k)];
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
  const TableStats s =
      prepare_table_stats(hw_sample(k, enumeration_size(k), 7), full_log_factorials());
  const uint64_t tables = count_tables(s, uint64_t{1} << 40);
  for (auto _ : state) benchmark::DoNotOptimize(enumerate_tables(s));
  state.counters["tables"] = static_cast<double>(tables);
  state.counters["tables_per_s"] = benchmark::Counter(
      static_cast<double>(tables), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_EnumerateTables)->DenseRange(2, 6)->ArgName("k")->Unit(benchmark::kMillisecond);

void BM_CountTables(benchmark::State& state) {
  const auto k = static_cast<int32_t>(state.range(0));
  const TableStats s =
      prepare_table_stats(hw_sample(k, enumeration_size(k), 7), full_log_factorials());
  for (auto _ : state) benchmark::DoNotOptimize(count_tables(s, uint64_t{1} << 40));
}
BENCHMARK(BM_CountTables)->DenseRange(2, 6)->ArgName("k")->Unit(benchmark::kMillisecond);

// Two alleles of equal frequency among N individuals, H of them
// heterozygous: at H = N/2 the mode, at 0 the end of the far tail.
ExactSample two_allele_sample(int64_t n, int64_t h) {
  return ExactSample{2, {(n - h) / 2, h, (n - h) / 2}};
}

// The heterozygotes of a sample whose p lies in a given place: the far
// tail (none at all, p near 10^(-0.3 N)), the tail at p of about 1e-50
// (15 standard deviations of H below the mode), or near the mode.
int64_t tail_heterozygotes(int64_t n, int64_t place) {
  const auto sd = static_cast<int64_t>(std::sqrt(static_cast<double>(n)) / 2);
  const int64_t h = place == 0 ? 0 : n / 2 - (place == 1 ? 15 * sd : sd / 2);
  return h - h % 2;
}

// One enumeration of a two-allele sample: each tail walked only as far as
// a table changes a sum (arg 0), or every tail walked to the cutoff (arg 1).
void BM_TwoAlleleTail(benchmark::State& state) {
  const int64_t n = state.range(0);
  const int64_t place = state.range(1);
  const TableStats s = prepare_table_stats(two_allele_sample(n, tail_heterozygotes(n, place)),
                                           full_log_factorials());
  const EnumerationChoices choices{.walk_every_tail = state.range(2) == 1};
  double p = 0;
  for (auto _ : state) {
    const ExactPValues v = enumerate_tables(s, choices);
    p = v.log10_prob;
    benchmark::DoNotOptimize(v);
  }
  state.counters["log10_p"] = p;
}
BENCHMARK(BM_TwoAlleleTail)
    ->ArgNames({"N", "place", "full"})
    ->ArgsProduct({{2000, 200000, 1000000}, {0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

constexpr uint64_t kBatch = 4096;

void per_table(benchmark::State& state) {
  state.counters["per_table"] = benchmark::Counter(
      static_cast<double>(kBatch),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// One thread: drawing and scoring kBatch tables per iteration.
void BM_SampleTables(benchmark::State& state) {
  const TableStats s = prepare_table_stats(hw_sample(6, state.range(0), 11), full_log_factorials());
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
  const TableStats s = prepare_table_stats(hw_sample(6, state.range(0), 11), full_log_factorials());
  std::vector<int64_t> t(s.cell.size()), work(s.k);
  Rng64 r = rng64_stream(1, 0);
  for (auto _ : state) {
    draw_table(s, r, t.data(), work.data());
    benchmark::DoNotOptimize(t.data());
  }
}
BENCHMARK(BM_DrawTable)->ArgName("N")->Arg(50)->Arg(200)->Arg(500)->Arg(1000)->Arg(1000000);

// The drawing by pairing copies, whatever the cost rule prefers, against the
// allele-by-allele draw above: where the two cross.
void BM_DrawTableByPairing(benchmark::State& state) {
  const TableStats s = prepare_table_stats(hw_sample(6, state.range(0), 11), full_log_factorials());
  const PairingPlan plan = prepare_pairing(s);
  std::vector<int64_t> t(s.cell.size());
  std::vector<int32_t> work(plan.copies.size());
  Rng64 r = rng64_stream(1, 0);
  for (auto _ : state) {
    draw_table_by_pairing(s, plan, r, t.data(), work.data());
    benchmark::DoNotOptimize(t.data());
  }
  state.counters["pairing_chosen"] = prefer_pairing(s) ? 1 : 0;
}
BENCHMARK(BM_DrawTableByPairing)->ArgName("N")->Arg(50)->Arg(200)->Arg(500)->Arg(1000);

// The same sample of N = 78 000 (k = 6) both ways: one permutation replicate
// of the classic test, and one table of the sampler with its five tests.
McSample replicate_sample() { return make_random_sample(6, 156000, 0.1, 2024u); }

void BM_PermutationReplicate78k(benchmark::State& state) {
  McSample s = replicate_sample();
  rng_seed(12345);
  for (auto _ : state) benchmark::DoNotOptimize(mc_replicate(s.locus, s.work).x2);
}
BENCHMARK(BM_PermutationReplicate78k)->Unit(benchmark::kMicrosecond);

void BM_SampledTable78k(benchmark::State& state) {
  const LocusAnalysis m = std::move(replicate_sample().locus);
  ExactSample e{m.k, std::vector<int64_t>(static_cast<size_t>(m.cells))};
  for (int32_t c = 0; c < m.cells; ++c) e.counts[c] = m.table[c].count;
  const TableStats s = prepare_table_stats(e, full_log_factorials());
  uint64_t seed = 1;
  for (auto _ : state) benchmark::DoNotOptimize(sample_tables(s, kBatch, seed++, 1));
  per_table(state);
}
BENCHMARK(BM_SampledTable78k);

// A typical microsatellite unit: k = 10 alleles, N = 50, near Hardy-Weinberg
// proportions; well over a million tables, so it is always sampled.
void BM_SampleTablesK10N50(benchmark::State& state) {
  const TableStats s = prepare_table_stats(hw_sample(10, 50, 5), full_log_factorials());
  uint64_t seed = 1;
  for (auto _ : state) benchmark::DoNotOptimize(sample_tables(s, kBatch, seed++, 1));
  per_table(state);
}
BENCHMARK(BM_SampleTablesK10N50);

void BM_CountTablesK10N50(benchmark::State& state) {
  const TableStats s = prepare_table_stats(hw_sample(10, 50, 5), full_log_factorials());
  for (auto _ : state) benchmark::DoNotOptimize(count_tables(s, 1000000));
}
BENCHMARK(BM_CountTablesK10N50)->Unit(benchmark::kMicrosecond);

// Deciding between enumeration and sampling for a site of twelve alleles
// of similar frequencies and 2000 samples: far beyond the limit, which the
// count must find out quickly (counting from the fewest homozygotes up took
// 13 ms here, about a quarter of the time of a file of such sites).
void BM_CountTablesK12N2000(benchmark::State& state) {
  const TableStats s = prepare_table_stats(hw_sample(12, 2000, 7), full_log_factorials());
  for (auto _ : state) benchmark::DoNotOptimize(count_tables(s, 1000000));
}
BENCHMARK(BM_CountTablesK12N2000)->Unit(benchmark::kMicrosecond);

// Sites of 2000 diploid samples: allele frequencies from a broken stick
// (the first allele common, the rest rarer), every 20th site with a
// heterozygote deficit (a tenth of the samples inbred: both copies alike).
// Alleles nobody carries are dropped, as a variant reader would.
ExactSample site_sample(int32_t k, int64_t n, bool deficit, std::mt19937_64& gen) {
  std::vector<double> freq(static_cast<size_t>(k));
  std::uniform_real_distribution<double> u(0.05, 1.0);
  double left = 1.0;
  for (int32_t a = 0; a + 1 < k; ++a) {
    freq[a] = left * (a == 0 ? 0.6 + 0.3 * u(gen) : 0.5 * u(gen));
    left -= freq[a];
  }
  freq[k - 1] = left;
  std::discrete_distribution<int32_t> allele(freq.begin(), freq.end());
  std::bernoulli_distribution inbred(deficit ? 0.1 : 0.0);
  std::vector<int64_t> full(static_cast<size_t>(k) * (k + 1) / 2, 0);
  std::vector<int64_t> copies(static_cast<size_t>(k), 0);
  for (int64_t m = 0; m < n; ++m) {
    int32_t a = allele(gen);
    int32_t b = inbred(gen) ? a : allele(gen);
    if (a > b) std::swap(a, b);
    ++full[tri_index(a, b, k)];
    ++copies[a];
    ++copies[b];
  }
  std::vector<int32_t> kept;
  for (int32_t a = 0; a < k; ++a) {
    if (copies[a] > 0) kept.push_back(a);
  }
  const int32_t kk = static_cast<int32_t>(kept.size());
  ExactSample s{kk, std::vector<int64_t>(static_cast<size_t>(kk) * (kk + 1) / 2, 0)};
  for (int32_t i = 0; i < kk; ++i) {
    for (int32_t j = i; j < kk; ++j)
      s.counts[tri_index(i, j, kk)] = full[tri_index(kept[i], kept[j], k)];
  }
  return s;
}

// One biallelic site of 2000 samples after another, at the default options
// (enumerated): the time per site.
void BM_BiallelicSites2000(benchmark::State& state) {
  std::mt19937_64 gen(2026);
  std::vector<ExactSample> sites;
  for (int i = 0; i < 1000; ++i) sites.push_back(site_sample(2, 2000, i % 20 == 0, gen));
  const ExactTables tables = prepare_exact_tables(4000);
  ExactOptions options;
  options.prepared = &tables;
  options.threads = 1;
  size_t next = 0;
  for (auto _ : state) {
    ExactResult r;
    benchmark::DoNotOptimize(run_exact_tests(sites[next], options, r));
    next = (next + 1) % sites.size();
  }
}
BENCHMARK(BM_BiallelicSites2000)->Unit(benchmark::kMicrosecond);

// 2000 multi-allelic sites (3 to 12 alleles, 2000 samples) with --tables
// auto: two workers take the sites in turn, each sampler on one thread.
// Counters: the sites enumerated, stopped at their 20th hit, and drawn to
// the limit of 100 000 tables.
void BM_MultiAllelicSitesAuto(benchmark::State& state) {
  std::mt19937_64 gen(2027);
  std::vector<ExactSample> sites;
  for (int i = 0; i < 2000; ++i) sites.push_back(site_sample(3 + i % 10, 2000, i % 20 == 0, gen));
  const ExactTables tables = prepare_exact_tables(4000);
  ExactOptions options;
  options.prepared = &tables;
  options.threads = 1;
  options.tables_auto = true;
  std::vector<ExactResult> results(sites.size());
  for (auto _ : state) {
    std::atomic<size_t> next{0};
    auto work = [&] {
      for (size_t i; (i = next.fetch_add(1)) < sites.size();) {
        run_exact_tests(sites[i], options, results[i]);
      }
    };
    std::thread other(work);
    work();
    other.join();
  }
  double enumerated = 0, stopped = 0, limit = 0;
  for (const ExactResult& r : results) {
    if (r.method == ExactMethod::kEnumeration) {
      ++enumerated;
    } else if (r.stop == SamplingStop::kSequentialHits) {
      ++stopped;
    } else {
      ++limit;
    }
  }
  state.counters["enumerated"] = enumerated;
  state.counters["stopped"] = stopped;
  state.counters["to_limit"] = limit;
}
BENCHMARK(BM_MultiAllelicSitesAuto)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

#ifdef HWMC_GENEPOP_SAMPLE
// The units of the file with at least two alleles, as the exact tests take
// them (allele classes already restricted to those with copies).
std::vector<ExactSample> genepop_units() {
  const GenepopRead read = read_genepop_file(HWMC_GENEPOP_SAMPLE);
  std::vector<ExactSample> units;
  for (const GenepopTally& t : read.data.tallies) {
    if (tally_k(t) < 2) continue;
    units.push_back(ExactSample{tally_k(t), std::vector<int64_t>(t.genotype_counts.begin(),
                                                                 t.genotype_counts.end())});
  }
  return units;
}

// run_exact_tests at the default options on every unit, on all cores;
// counters: the time per unit, and the shares of counting and sampling
// (measured apart on one thread, once, before the timed loop).
void BM_GenepopExact20x20x50(benchmark::State& state) {
  const std::vector<ExactSample> units = genepop_units();
  const ExactOptions options;
  using clock = std::chrono::steady_clock;
  double count_s = 0, sample_s = 0;
  uint64_t sampled = 0;
  for (const ExactSample& u : units) {
    const TableStats s = prepare_table_stats(u, full_log_factorials());
    const auto t0 = clock::now();
    const uint64_t n = count_tables(s, options.max_tables);
    const auto t1 = clock::now();
    count_s += std::chrono::duration<double>(t1 - t0).count();
    if (n > options.max_tables) {
      ++sampled;
      benchmark::DoNotOptimize(sample_tables(s, options.tables, 1, 1));
      sample_s += std::chrono::duration<double>(clock::now() - t1).count();
    }
  }
  for (auto _ : state) {
    for (const ExactSample& u : units) {
      ExactResult r;
      benchmark::DoNotOptimize(run_exact_tests(u, options, r));
    }
  }
  const double n_units = static_cast<double>(units.size());
  state.counters["units"] = n_units;
  state.counters["sampled"] = static_cast<double>(sampled);
  state.counters["per_unit"] = benchmark::Counter(
      n_units, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["count_1t_s"] = count_s;
  state.counters["sample_1t_s"] = sample_s;
}
BENCHMARK(BM_GenepopExact20x20x50)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
#endif

}  // namespace

BENCHMARK_MAIN();
