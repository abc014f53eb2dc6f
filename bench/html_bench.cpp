// The results page of a genome-scale run: 2 populations x 28 501 sites of
// one variant file (the sample sites of tests/html/sample_pages.h). What the
// driver pays per site while it writes its rows (add_unit, thinning
// included), and the page written after them: rendered to memory, then to a
// file, with its size in bytes (`page_bytes`; it must stay under 5 MB).
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "html/page_writer.h"
#include "sample_pages.h"

namespace {

constexpr int64_t kSites = 28501;

void BM_CollectSites(benchmark::State& state) {
  for (auto _ : state) {
    PageData page;
    add_sample_sites(page, kSites);
    benchmark::DoNotOptimize(page.vcf.data());
  }
  state.counters["per_site"] = benchmark::Counter(
      2.0 * kSites, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_RenderPage(benchmark::State& state) {
  const PageData page = genome_sample_page(kSites);
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string text = render_page(page);
    bytes = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["page_bytes"] = static_cast<double>(bytes);
}

void BM_WritePageFile(benchmark::State& state) {
  const PageData page = genome_sample_page(kSites);
  char name[] = "/tmp/hwmc_html_bench_XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) {
    state.SkipWithError("no temporary file");
    return;
  }
  for (auto _ : state) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    if (!write_page(out, page)) state.SkipWithError("write failed");
  }
  std::remove(name);
}

}  // namespace

BENCHMARK(BM_CollectSites)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WritePageFile)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
