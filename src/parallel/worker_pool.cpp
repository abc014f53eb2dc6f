#include "parallel/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

unsigned resolve_workers(unsigned workers) {
  if (workers != 0) return workers;
  return std::max(1u, std::thread::hardware_concurrency());
}

void run_on_workers(unsigned workers, const std::function<void(unsigned worker)>& body) {
  std::vector<std::thread> pool;
  for (unsigned id = 1; id < workers; ++id) {
    try {
      pool.emplace_back(body, id);
    } catch (const std::system_error&) {
      break;
    }
  }
  body(0);
  for (std::thread& th : pool) th.join();
}

void run_in_parallel(size_t count, unsigned workers, const std::function<void(size_t)>& work) {
  const size_t threads = std::min<size_t>(resolve_workers(workers), std::max<size_t>(count, 1));
  std::atomic<size_t> next{0};
  run_on_workers(static_cast<unsigned>(threads), [&](unsigned) {
    for (;;) {
      const size_t i = next.fetch_add(1, std::memory_order_relaxed);
      if (i >= count) break;
      work(i);
    }
  });
}
