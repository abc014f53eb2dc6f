// Items shared out over the workers, each worker with scratch space of its
// own, made once per worker rather than once per item. An item's result
// must depend on the item alone, so that any number of threads gives the
// same bits.
#pragma once

#include <atomic>
#include <cstddef>
#include <new>

#include "parallel/worker_pool.h"

// make(scratch) prepares a worker's scratch (false: out of memory);
// work(item, scratch) does one item. Returns false when some item was left
// undone for want of memory (a worker that cannot make its scratch leaves
// its items to the others).
template <class Scratch, class Make, class Work>
bool run_items_with_scratch(size_t count, unsigned workers, Make make, Work work) {
  std::atomic<size_t> next{0};
  std::atomic<size_t> done{0};
  run_on_workers(resolve_workers(workers), [&](unsigned) {
    try {
      Scratch scratch;
      if (!make(scratch)) return;
      for (size_t item; (item = next.fetch_add(1)) < count;) {
        work(item, scratch);
        done.fetch_add(1);
      }
    } catch (const std::bad_alloc&) {
      // The item taken stays undone.
    }
  });
  return done.load() == count;
}
