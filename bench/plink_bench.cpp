// Counting the PLINK benchmark filesets (bench/make-plink-bench.sh) into
// blocks of sites per population, each run from opening the files to the
// last block (items: genotypes): every sample in one population, five
// populations in blocks of samples and interleaved (masks), 26 interleaved
// (a sample at a time), X counted by sex, every sample without the vector
// instructions; opening alone; and the floor, reading the .bed's
// bytes alone in the reader's chunks. Set HWMC_PLINK_BENCH_DIR to the folder
// the script filled; without it every benchmark is skipped.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "plink/plink_reader.h"

namespace {

const char* const kFilesets[] = {"p20k", "p100k"};  // 20 000 x 20 000, 100 000 x 2 000

std::string bench_prefix(int64_t which) {
  const char* dir = std::getenv("HWMC_PLINK_BENCH_DIR");
  if (!dir) return "";
  std::string prefix = std::string(dir) + "/" + kFilesets[which];
  struct stat info;
  return ::stat((prefix + ".bed").c_str(), &info) == 0 ? prefix : "";
}

enum class Pops { kAll, kFiveBlocks, kFiveInterleaved, kManyInterleaved };

void count(benchmark::State& state, Pops layout, bool x, bool portable = false) {
  const std::string prefix = bench_prefix(state.range(0));
  if (prefix.empty()) {
    state.SkipWithError("set HWMC_PLINK_BENCH_DIR to a folder made by bench/make-plink-bench.sh");
    return;
  }
  PlinkPaths paths = plink_fileset(prefix);
  if (x) paths.bim = prefix + "-x.bim";  // the same variants on X
  std::vector<PopsEntry> entries;
  PlinkReadOptions options;
  if (layout != Pops::kAll) {
    const std::vector<std::string> names = fam_names(read_fam_file(paths.fam.c_str()));
    const size_t n = names.size();
    for (size_t j = 0; j < n; ++j) {
      const size_t p = layout == Pops::kFiveBlocks        ? j * 5 / n
                       : layout == Pops::kFiveInterleaved ? j % 5
                                                          : j % 26;
      entries.push_back({names[j], "p" + std::to_string(p)});
    }
    options.pops = &entries;
  }
  uint64_t genotypes = 0;
  PlinkBlock block;
  use_portable_code_counting(portable);
  for (auto _ : state) {
    PlinkReader reader;
    PlinkFailure f = open_plink(paths, options, reader);
    if (plink_ok(f) && x)
      f = set_x_rule(reader, fam_sexes(reader.fam), [](std::string_view, int64_t) { return true; });
    while (plink_ok(f)) {
      f = read_plink_block(reader, block, 512);
      if (block.block.sites.empty()) break;
      genotypes += block.block.sites.size() * reader.fam.samples.size();
    }
    if (!plink_ok(f)) {
      state.SkipWithError(describe_plink_failure(f).c_str());
      return;
    }
  }
  use_portable_code_counting(false);
  state.SetItemsProcessed(static_cast<int64_t>(genotypes));
}

void BM_PlinkCount(benchmark::State& state) { count(state, Pops::kAll, false); }
void BM_PlinkCountWithoutVectors(benchmark::State& state) { count(state, Pops::kAll, false, true); }
void BM_PlinkCountFivePopsBlocks(benchmark::State& state) {
  count(state, Pops::kFiveBlocks, false);
}
void BM_PlinkCountFivePopsInterleaved(benchmark::State& state) {
  count(state, Pops::kFiveInterleaved, false);
}
void BM_PlinkCount26PopsInterleaved(benchmark::State& state) {
  count(state, Pops::kManyInterleaved, false);
}
void BM_PlinkCountXBySex(benchmark::State& state) { count(state, Pops::kAll, true); }

// Opening alone: the .fam read, the .bim indexed, the .bed checked.
void BM_PlinkOpen(benchmark::State& state) {
  const std::string prefix = bench_prefix(state.range(0));
  if (prefix.empty()) {
    state.SkipWithError("set HWMC_PLINK_BENCH_DIR to a folder made by bench/make-plink-bench.sh");
    return;
  }
  for (auto _ : state) {
    PlinkReader reader;
    const PlinkFailure f = open_plink(plink_fileset(prefix), {}, reader);
    if (!plink_ok(f)) {
      state.SkipWithError(describe_plink_failure(f).c_str());
      return;
    }
  }
}

// What any reader pays before it counts: the .bed's bytes read in the chunks
// the reader takes (256 KiB), from the page cache once the file has been read.
void BM_BedBytesOnly(benchmark::State& state) {
  const std::string prefix = bench_prefix(state.range(0));
  if (prefix.empty()) {
    state.SkipWithError("set HWMC_PLINK_BENCH_DIR to a folder made by bench/make-plink-bench.sh");
    return;
  }
  std::vector<char> chunk(size_t{1} << 18);
  uint64_t bytes = 0;
  for (auto _ : state) {
    const int fd = ::open((prefix + ".bed").c_str(), O_RDONLY);
    ssize_t got;
    off_t at = 0;
    while ((got = ::pread(fd, chunk.data(), chunk.size(), at)) > 0) {
      at += got;
      bytes += static_cast<uint64_t>(got);
    }
    ::close(fd);
    benchmark::DoNotOptimize(chunk.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

}  // namespace

// The argument picks the fileset: 0 for 20 000 samples x 20 000 variants,
// 1 for 100 000 x 2 000.
BENCHMARK(BM_BedBytesOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlinkOpen)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlinkCount)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlinkCountWithoutVectors)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_PlinkCountFivePopsBlocks)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_PlinkCountFivePopsInterleaved)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_PlinkCount26PopsInterleaved)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_PlinkCountXBySex)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
