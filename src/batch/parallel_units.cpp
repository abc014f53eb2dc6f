#include "batch/parallel_units.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

unsigned resolve_workers(unsigned workers) {
  if (workers != 0) return workers;
  return std::max(1u, std::thread::hardware_concurrency());
}

void run_in_parallel(size_t count, unsigned workers, const std::function<void(size_t)>& work) {
  const size_t threads = std::min<size_t>(resolve_workers(workers), std::max<size_t>(count, 1));
  std::atomic<size_t> next{0};
  auto loop = [&] {
    for (;;) {
      const size_t i = next.fetch_add(1, std::memory_order_relaxed);
      if (i >= count) break;
      work(i);
    }
  };
  std::vector<std::thread> pool;
  for (size_t t = 1; t < threads; ++t) {
    try {
      pool.emplace_back(loop);
    } catch (const std::system_error&) {
      break;
    }
  }
  loop();
  for (std::thread& th : pool) th.join();
}
