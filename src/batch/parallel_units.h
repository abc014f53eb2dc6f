// Runs work(i) for every i in [0, count) on up to `workers` threads (0: one
// per core), each thread taking the next index when it is free; returns when
// all are done. work must only touch what belongs to index i. A thread that
// cannot be started leaves its share to the others.
#pragma once

#include <cstddef>
#include <functional>

void run_in_parallel(size_t count, unsigned workers, const std::function<void(size_t)>& work);

// The number of threads that `workers` (0: one per core) stands for.
unsigned resolve_workers(unsigned workers);
