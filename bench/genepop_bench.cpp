// Reading a Genepop file of 20 loci x 20 populations x 50 individuals
// (about 10 alleles per locus, made by scripts/make-genepop.py at build
// time): from the file, from bytes already in memory (the parse and the
// tallies alone), then what a run does with the 400 tallies afterwards:
// classic tables for the analysis and the Benjamini-Hochberg values.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "genepop/classic_letters.h"
#include "genepop/genepop_parse.h"
#include "genepop/genepop_reader.h"
#include "stats/multiple_testing.h"

namespace {

std::string sample_bytes() {
  std::ifstream in(HWMC_GENEPOP_SAMPLE, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void per_genotype(benchmark::State& state, const GenepopRead& r) {
  if (r.status != GenepopStatus::kOk) {
    state.SkipWithError(describe_genepop_failure(r).c_str());
    return;
  }
  // 20 x 20 x 50 genotypes; seconds per genotype with an SI prefix.
  state.counters["per_genotype"] = benchmark::Counter(
      20000.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ReadGenepopFile(benchmark::State& state) {
  GenepopRead r;
  for (auto _ : state) {
    r = read_genepop_file(HWMC_GENEPOP_SAMPLE);
    benchmark::DoNotOptimize(r.data.tallies.data());
  }
  per_genotype(state, r);
}
BENCHMARK(BM_ReadGenepopFile)->Unit(benchmark::kMicrosecond);

void BM_ParseGenepopText(benchmark::State& state) {
  const std::string text = sample_bytes();
  GenepopRead r;
  for (auto _ : state) {
    r = parse_genepop_text(text);
    benchmark::DoNotOptimize(r.data.tallies.data());
  }
  per_genotype(state, r);
}
BENCHMARK(BM_ParseGenepopText)->Unit(benchmark::kMicrosecond);

void BM_ClassicTablesAndHeadings(benchmark::State& state) {
  const GenepopRead r = read_genepop_file(HWMC_GENEPOP_SAMPLE);
  for (auto _ : state) {
    for (const GenepopTally& t : r.data.tallies) {
      GenotypeTable table;
      int32_t k = 0;
      int32_t two_n = 0;
      benchmark::DoNotOptimize(fill_classic_table(t, table, k, two_n));
      benchmark::DoNotOptimize(format_genepop_heading(HWMC_GENEPOP_SAMPLE, t).size());
    }
  }
  per_genotype(state, r);
}
BENCHMARK(BM_ClassicTablesAndHeadings)->Unit(benchmark::kMicrosecond);

void BM_BenjaminiHochberg400(benchmark::State& state) {
  std::vector<double> p;
  for (int i = 0; i < 400; ++i) p.push_back(static_cast<double>((i * 7919) % 401) / 401.0);
  for (auto _ : state) benchmark::DoNotOptimize(adjust_benjamini_hochberg(p).data());
}
BENCHMARK(BM_BenjaminiHochberg400)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
