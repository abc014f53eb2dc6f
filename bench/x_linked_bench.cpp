// Speed of the X-linked exact test: one biallelic X site of N samples (half
// male) at N = 1000, 10 000 and 100 000, in Hardy-Weinberg proportions (p
// near 0.5), moderately out (p near 1e-3) and far out (p near 1e-22 at
// N = 100 000); and a four-allele site of 200 samples sampled to 10^5
// tables on one thread.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "exact/x_linked_exact.h"

namespace {

// Built once, as a run builds them before its workers start.
const ExactTables& shared_tables() {
  static const ExactTables t = prepare_exact_tables(1 << 22);
  return t;
}

// n/2 males and n/2 females at allele frequency 0.72, the females' genotypes
// in proportion, and the heterozygotes moved by `shift` standard deviations
// (both sexes' counts move with them so the site stays valid).
XLinkedSample biallelic_site(int64_t n, double shift) {
  const double p = 0.72, q = 1 - p;
  const int64_t males = n / 2, females = n - males;
  const int64_t male_a = std::llround(males * p);
  const double het = females * 2 * p * q;
  const int64_t d = std::llround(shift * std::sqrt(het) / 2);
  const int64_t ab = std::llround(het) - 2 * d;
  const int64_t aa = std::llround(females * p * p) + d;
  return {2, {male_a, males - male_a}, {aa, ab, females - aa - ab}};
}

void BM_XBiallelic(benchmark::State& state) {
  const XLinkedSample s = biallelic_site(state.range(0), static_cast<double>(state.range(1)));
  ExactOptions o;
  o.prepared = &shared_tables();
  XLinkedResult r;
  for (auto _ : state) benchmark::DoNotOptimize(run_x_linked_exact(s, o, r));
  state.counters["log10_p"] = r.log10_lead;
}
BENCHMARK(BM_XBiallelic)
    ->ArgNames({"N", "shift"})
    ->ArgsProduct({{1000, 10000, 100000}, {0, 3, 10}})
    ->Unit(benchmark::kMicrosecond);

void BM_XFourAllelesSampled(benchmark::State& state) {
  const XLinkedSample s{4, {30, 25, 25, 20}, {8, 7, 6, 5, 6, 6, 6, 5, 5, 4}};
  ExactOptions o;
  o.prepared = &shared_tables();
  o.max_tables = 0;
  o.tables = 100000;
  o.threads = 1;
  XLinkedResult r;
  for (auto _ : state) benchmark::DoNotOptimize(run_x_linked_exact(s, o, r));
  state.counters["per_table"] = benchmark::Counter(
      static_cast<double>(o.tables),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_XFourAllelesSampled)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
