// The one way work is spread over threads. A thread that cannot be started
// leaves its share to the others, so the work is always done.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

// The number of threads that `workers` (0: one per core) stands for.
unsigned resolve_workers(unsigned workers);

// Runs body(worker) once for each worker in [0, workers) at the same time,
// worker 0 on the calling thread; returns when all have returned. A worker
// whose thread cannot be started is skipped: body must share its work out
// (as run_in_parallel does) rather than assign it by worker. The threads
// are kept for later calls; a body may call here itself.
void run_on_workers(unsigned workers, const std::function<void(unsigned worker)>& body);

// Runs work(i) for every i in [0, count) on up to `workers` threads (0: one
// per core), each thread taking the next index when it is free; returns when
// all are done. work must only touch what belongs to index i.
void run_in_parallel(size_t count, unsigned workers, const std::function<void(size_t)>& work);

// A task running on one of the kept threads while its caller goes on (or,
// where no thread can be started, run to its end before the call returns).
struct BackgroundState;
struct BackgroundTask {
  std::shared_ptr<BackgroundState> state;  // null: none, or waited for
};
BackgroundTask start_in_background(std::function<void()> task);

// Returns once the task has ended, throwing what it threw; at once for a
// task waited for already or never started.
void wait_for_task(BackgroundTask& task);
