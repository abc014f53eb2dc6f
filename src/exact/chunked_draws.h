// The schedule of a sampler's draws: T draws cut into chunks of
// kSampleChunk, chunk c drawn from its own stream (seed, c, key) from its
// start, so integer hit counts summed over chunks are the same whatever
// thread drew which chunk. Drawing until a number of hits takes the draws in
// that same order and ignores every draw after the one that completes them:
// the first chunk on the calling thread, then waves of whole chunks side by
// side, growing while no stop is near, and the chunk that holds the stop
// drawn again up to it.
//
// Hits: a record with `tables` and operator+=. make_space() gives a
// thread's workspace; draw(c, space, hits, stop_at) adds chunk c's draws to
// hits, from its start to its end or until leading(hits) reaches stop_at.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

#include "exact/sampler.h"
#include "parallel/worker_pool.h"

inline constexpr uint64_t kNoDrawStop = ~uint64_t{0};

inline uint64_t chunks_of_draws(uint64_t tables) {
  return (tables + kSampleChunk - 1) / kSampleChunk;
}

// Chunks first..end-1, whole, on up to `threads` threads: their hits added
// into `total`, or each chunk's kept in per_chunk[c - first] when given.
template <typename Hits, typename MakeSpace, typename Draw>
void draw_chunk_range(uint64_t first, uint64_t end, unsigned threads, const MakeSpace& make_space,
                      const Draw& draw, std::vector<Hits>* per_chunk, Hits& total) {
  threads = static_cast<unsigned>(
      std::min<uint64_t>(resolve_workers(threads), std::max<uint64_t>(end - first, 1)));
  std::atomic<uint64_t> next_chunk{first};
  std::vector<Hits> per_thread(threads);
  run_on_workers(threads, [&](unsigned id) {
    auto space = make_space();
    for (;;) {
      const uint64_t c = next_chunk.fetch_add(1, std::memory_order_relaxed);
      if (c >= end) break;
      draw(c, space, per_chunk != nullptr ? (*per_chunk)[c - first] : per_thread[id], kNoDrawStop);
    }
  });
  for (const Hits& h : per_thread) total += h;
}

// Draws `tables` draws; returns their hits.
template <typename Hits, typename MakeSpace, typename Draw>
Hits draw_all_chunks(uint64_t tables, unsigned threads, const MakeSpace& make_space,
                     const Draw& draw) {
  Hits total{};
  draw_chunk_range<Hits>(0, chunks_of_draws(tables), threads, make_space, draw, nullptr, total);
  return total;
}

// Draws in stream order until leading(hits) reaches `target` or `tables`
// draws are made; returns whether the target was reached (at draw
// out.tables).
template <typename Hits, typename MakeSpace, typename Draw, typename Leading>
bool draw_chunks_until(uint64_t tables, uint64_t target, unsigned threads,
                       const MakeSpace& make_space, const Draw& draw, const Leading& leading,
                       Hits& out) {
  const uint64_t chunks = chunks_of_draws(tables);
  threads = static_cast<unsigned>(
      std::min<uint64_t>(resolve_workers(threads), std::max<uint64_t>(chunks, 1)));
  auto space = make_space();
  // A p that is not small stops within the first chunk: drawn here, without
  // waking a thread.
  draw(0, space, out, target);
  uint64_t next = 1;
  uint64_t wave = threads;
  while (leading(out) < target && next < chunks) {
    const uint64_t end = std::min(chunks, next + wave);
    std::vector<Hits> per_chunk(end - next);
    Hits unused{};
    draw_chunk_range(next, end, threads, make_space, draw, &per_chunk, unused);
    for (uint64_t c = next; c < end; ++c) {
      const Hits& h = per_chunk[c - next];
      if (leading(out) + leading(h) >= target) {
        draw(c, space, out, target);
        break;
      }
      out += h;
    }
    next = end;
    wave = std::min<uint64_t>(wave * 2, uint64_t{64} * threads);
  }
  return leading(out) >= target;
}
