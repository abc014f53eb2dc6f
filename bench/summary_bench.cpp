// What --summary adds to a Genepop run: the driver over a file of 20 loci x
// 20 populations x 50 individuals (scripts/make-genepop.py, made at build
// time) without and with the summary fed and written; and the summary's own
// cost per unit on a run far larger than any Genepop file (the sums of one
// unit are a few additions, whatever the run's size).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "batch/input_kind.h"
#include "batch/summary_output.h"
#include "batch/unit_driver.h"
#include "summary/summary_table.h"

namespace {

void BM_GenepopRun(benchmark::State& state) {
  const bool with_summary = state.range(0) != 0;
  BatchOptions options;
  options.seed_given = true;
  size_t summary_bytes = 0;
  const InputKind& genepop = find_input_kind("genepop");
  for (auto _ : state) {
    BatchRun run{genepop, genepop.prepare(options, Diagnostics{}).open, Diagnostics{},
                 UnitAnalysis{options}};
    RunOutputs& out = run.outputs;
    if (with_summary) out.summary = SummaryTable{summary_layout(genepop, options), {}, {}};
    if (!open_pending_rows(run)) state.SkipWithError("no temporary file for the rows");
    run_input_file(run, HWMC_GENEPOP_SAMPLE, 1);
    if (run.any_failed) state.SkipWithError("the sample file failed");
    if (with_summary) summary_bytes = summary_text(*out.summary).size();
    benchmark::DoNotOptimize(out.pending.leads.data());
  }
  state.counters["summary_bytes"] = static_cast<double>(summary_bytes);
}
BENCHMARK(BM_GenepopRun)->Arg(0)->Arg(1)->ArgName("summary")->Unit(benchmark::kMillisecond);

// 1000 loci x 100 populations, fed and tabulated; time per unit.
void BM_SummaryPerUnit(benchmark::State& state) {
  std::vector<std::string> loci;
  std::vector<std::string> populations;
  for (int i = 0; i < 1000; ++i) loci.push_back("locus_" + std::to_string(i));
  for (int i = 0; i < 100; ++i) populations.push_back(std::to_string(i + 1));
  for (auto _ : state) {
    SummaryTable table{{.loci = true, .populations = true, .tests = 2}, {}, {}};
    for (int p = 0; p < 100; ++p) {
      for (int l = 0; l < 1000; ++l) {
        const double x = static_cast<double>((p * 1000 + l) % 997 + 1) / 998.0;
        const double tests[] = {x, 1 - x};
        add_summary_unit(table, {"study.gen", populations[static_cast<size_t>(p)],
                                 loci[static_cast<size_t>(l)], x, tests, 0.5, 0.6, 40});
      }
    }
    benchmark::DoNotOptimize(summary_rows(table).data());
  }
  state.counters["per_unit"] = benchmark::Counter(
      100000.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SummaryPerUnit)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
