// The direct sampler: tables drawn independently from the conditional
// distribution, without shuffling copies. For each allele in turn its
// homozygotes come from the two-allele distribution (the allele against all
// copies left), the allele classes of its heterozygous partners from a
// multivariate hypergeometric draw (one hypergeometric per later allele),
// and its copies and its partners' are removed: O(k^2) draws per table.
// Small samples are drawn by pairing copies instead (pairing_draw.h), when
// that costs less; the statistics come from table_score.h.
//
// The T tables are cut into chunks of kSampleChunk, chunk c drawn from the
// stream (seed, c, key); the hit counts are integers, so their sum is the
// same whatever thread drew which chunk. Drawing until a number of hits
// takes the draws in that same order (chunk by chunk, each from its start)
// and ignores every draw after the one that completes them.
#pragma once

#include <cstdint>

#include "exact/rng64.h"
#include "exact/table_stats.h"

constexpr uint64_t kSampleChunk = 1024;

struct SampleHits {
  uint64_t tables = 0;
  PerTest<uint64_t> hits{};
};

// One table in the reordered layout of s (k(k+1)/2 cells written to t).
// work holds k entries.
void draw_table(const TableStats& s, Rng64& r, int64_t* t, int64_t* work);

// Draws `tables` tables on `threads` threads (0: one per core).
SampleHits sample_tables(const TableStats& s, uint64_t tables, uint64_t seed, unsigned threads,
                         uint64_t key = 0);

struct SequentialHits {
  SampleHits hits;       // over the draws up to the stop
  bool reached = false;  // the target was reached, at draw hits.tables
};

// Draws in stream order until `target` tables have hit the probability test
// or `tables` have been drawn, whichever comes first.
SequentialHits sample_until_hits(const TableStats& s, uint64_t tables, uint64_t target,
                                 uint64_t seed, unsigned threads, uint64_t key = 0);
