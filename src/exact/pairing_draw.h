// Tables drawn by pairing the 2N allele copies at random, for small samples.
//
// A uniformly random pairing of the copies into N individuals gives every
// table exactly its conditional probability (each table arises from
// prod n_i! 2^H / (2^N prod t_ij!) of the (2N)! / (2^N N!) pairings), so it is
// an exact draw from the same distribution as the allele-by-allele draw of
// sampler.h; it costs N bounded integers per table, which beats O(k^2)
// hypergeometric draws while N is small against k^2, and never otherwise
// (prefer_pairing decides, so the cost stays flat in N).
#pragma once

#include <cstdint>
#include <vector>

#include "exact/rng64.h"
#include "exact/table_stats.h"

// Samples of at most this many copies may be paired.
constexpr int64_t kPairingMaxCopies = int64_t{1} << 16;

// Whether pairing copies is expected to cost less than the allele-by-allele
// draw for these allele counts.
bool prefer_pairing(const TableStats& s);

struct PairingPlan {
  // The copies in allele order: allele a (reordered) repeated s.allele[a] times.
  std::vector<int32_t> copies;
  // For up to kPairCellMaxK alleles, the cell of alleles a and b at a * k + b.
  std::vector<int32_t> pair_cell;
};

constexpr int32_t kPairCellMaxK = 128;

// Requires s.two_n <= kPairingMaxCopies.
PairingPlan prepare_pairing(const TableStats& s);

// One table in the reordered layout of s (k(k+1)/2 cells written to t).
// `work` holds s.two_n entries.
void draw_table_by_pairing(const TableStats& s, const PairingPlan& plan, Rng64& r, int64_t* t,
                           int32_t* work);
