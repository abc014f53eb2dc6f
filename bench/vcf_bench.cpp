// Decoding the VCF benchmark file (bench/make-vcf-bench.sh) into blocks of
// sites per population: the genotype-only scan of VCF text with and without
// BGZF decompression threads, htslib's full parser on the same text, and BCF
// records. Set HWMC_VCF_BENCH_DIR to the folder the script filled; without
// it every benchmark is skipped.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "vcf/vcf_reader.h"

namespace {

std::string bench_file(const char* name) {
  const char* dir = std::getenv("HWMC_VCF_BENCH_DIR");
  if (!dir) return "";
  std::string path = std::string(dir) + "/" + name;
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? path : "";
}

void decode(benchmark::State& state, const char* name, GtDecoder decoder) {
  const std::string path = bench_file(name);
  if (path.empty()) {
    state.SkipWithError("set HWMC_VCF_BENCH_DIR to a folder made by bench/make-vcf-bench.sh");
    return;
  }
  VcfReadOptions options;
  options.decoder = decoder;
  options.threads = static_cast<int>(state.range(0));
  uint64_t sites = 0, genotypes = 0;
  SiteBlock block;
  for (auto _ : state) {
    VcfReader reader;
    VcfFailure f = open_vcf(path.c_str(), options, reader);
    if (!vcf_ok(f)) {
      state.SkipWithError(describe_vcf_failure(f).c_str());
      return;
    }
    for (;;) {
      f = read_site_block(reader, block, 1024);
      if (!vcf_ok(f) || block.sites.empty()) break;
      sites += block.sites.size();
      for (const SiteUnit& u : block.units) genotypes += static_cast<uint64_t>(u.n);
    }
    if (!vcf_ok(f)) {
      state.SkipWithError(describe_vcf_failure(f).c_str());
      return;
    }
  }
  state.counters["sites"] = benchmark::Counter(static_cast<double>(sites), benchmark::Counter::kAvgIterations);
  state.counters["genotypes_per_s"] =
      benchmark::Counter(static_cast<double>(genotypes), benchmark::Counter::kIsRate);
}

void BM_VcfGzScan(benchmark::State& state) { decode(state, "sites.vcf.gz", GtDecoder::kTextScan); }
void BM_VcfGzHtslib(benchmark::State& state) { decode(state, "sites.vcf.gz", GtDecoder::kHtslib); }
void BM_Bcf(benchmark::State& state) { decode(state, "sites.bcf", GtDecoder::kHtslib); }

}  // namespace

// The argument is the number of extra decompression threads; CPU time
// counts every thread.
BENCHMARK(BM_VcfGzScan)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_VcfGzHtslib)->Arg(0)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_Bcf)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

BENCHMARK_MAIN();
