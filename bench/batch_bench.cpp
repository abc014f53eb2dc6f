// The batch front end's cost per file: 10 000 copies of the example file in
// one call without --runs (reading, statistics, row), standard output sent
// to /dev/null.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "cli/command_line.h"

namespace {

constexpr char kSample[] = "bc:1\naa:10\neg:25\nad:16\nbd:1\n";

struct SmallFiles {
  std::string dir;
  std::vector<std::string> names;
  std::vector<char*> args;

  explicit SmallFiles(int count) {
    char pattern[] = "/tmp/hwmc_batch_bench_XXXXXX";
    dir = mkdtemp(pattern);
    for (int i = 0; i < count; ++i) {
      names.push_back(dir + "/locus" + std::to_string(i) + ".txt");
      std::FILE* f = std::fopen(names.back().c_str(), "w");
      std::fputs(kSample, f);
      std::fclose(f);
    }
    for (std::string& n : names) args.push_back(n.data());
  }
  ~SmallFiles() {
    for (const std::string& n : names) std::remove(n.c_str());
    ::rmdir(dir.c_str());
  }
};

void BM_BatchSmallFiles(benchmark::State& state) {
  SmallFiles files(static_cast<int>(state.range(0)));
  std::fflush(stdout);
  const int saved = ::dup(STDOUT_FILENO);
  const int null = ::open("/dev/null", O_WRONLY);
  ::dup2(null, STDOUT_FILENO);
  BatchOptions options;
  for (auto _ : state) benchmark::DoNotOptimize(run_batch(options, files.args, "hwmc"));
  std::fflush(stdout);
  ::dup2(saved, STDOUT_FILENO);
  ::close(null);
  ::close(saved);
  state.counters["per_file"] = benchmark::Counter(
      static_cast<double>(state.range(0)),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BatchSmallFiles)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
