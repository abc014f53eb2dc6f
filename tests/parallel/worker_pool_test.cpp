#include "parallel/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

TEST(WorkerPool, EveryIndexRunsExactlyOnceWhateverTheWorkers) {
  for (unsigned workers : {0u, 1u, 3u, 64u}) {
    for (size_t count : {size_t{0}, size_t{1}, size_t{2}, size_t{1000}}) {
      std::vector<std::atomic<int>> runs(count);
      run_in_parallel(count, workers, [&](size_t i) { runs[i].fetch_add(1); });
      for (size_t i = 0; i < count; ++i) EXPECT_EQ(runs[i].load(), 1) << workers << " " << count;
    }
  }
  for (unsigned workers : {1u, 4u}) {
    std::vector<std::atomic<int>> bodies(workers);
    run_on_workers(workers, [&](unsigned id) { bodies[id].fetch_add(1); });
    for (unsigned id = 0; id < workers; ++id) EXPECT_EQ(bodies[id].load(), 1) << id;
  }
  EXPECT_GE(resolve_workers(0), 1u);
  EXPECT_EQ(resolve_workers(5), 5u);
}

}  // namespace
