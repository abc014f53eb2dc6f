// One replicate of the Monte Carlo experiment: shuffle the two_n allele copies
// with a forward Fisher-Yates pass driven by rng_next, join consecutive copies
// into individuals, and score the replicate's chi-square (against the observed
// expected counts) and Selander's D (against the observed expected number of
// heterozygotes), counting per genotype whether its contribution reached the
// observed one. Allocates nothing; every result is bit-identical to the
// defining step-by-step evaluation (kept in the tests as the reference).
//
// Preconditions: 1 <= k <= 128, allele_total sums to two_n, cells = k(k+1)/2,
// every expected count is positive, slots has two_n entries, sim_table cells.
#pragma once

#include <cstdint>

#include "genotype/genotype_table.h"

// Asked now and then during a long shuffle; once it answers true the
// replicate is abandoned half done and stopped is set. The slots' order is
// then no longer a permutation worth continuing from.
struct ReplicateStop {
  bool (*requested)(void* ctx) = nullptr;
  void* ctx = nullptr;
  bool stopped = false;
};

struct AlleleSlot {
  int32_t target;  // slot i exchanges its allele with this one; i <= target < two_n
  int8_t allele;   // allele index 0..k-1
};

// Draws every slot's target in slot order (two_n draws, the last one included
// although it can only name the slot itself) and makes the exchanges of the
// forward swap pass. A slot never changes again once its own exchange is made,
// so each individual (slots 2m, 2m+1) is counted as soon as its second slot is
// settled. Overwrites all k(k+1)/2 entries of sim_table with the replicate's
// genotype counts and returns the number of heterozygous individuals. With a
// stop that is granted, returns early with sim_table meaningless.
int32_t permute_slots(AlleleSlot* slots, int32_t two_n, int32_t k, int32_t* sim_table,
                      ReplicateStop* stop = nullptr);

// The replicate's chi-square: cells visited from the last down to 0, each
// difference rounded to float32, each contribution v = diff^2 / expected added
// unrounded in extended precision to a float32 sum. A cell counts a hit in
// cell_hits when v, rounded to float32 and scaled, reaches the scaled
// reference contribution of the cell.
float sim_chi_square(const int32_t* sim_table, const float* expected, int32_t cells,
                     const float* reference_x2, uint32_t* cell_hits);

// The whole replicate. While *slots_filled is clear the allele copies are first
// laid out in allele order; it is set at the end, and later replicates shuffle
// the order the previous one left. Returns x2_sim and writes d_sim. A replicate
// cut short by stop counts no hit and leaves x2_sim and d_sim meaningless.
float mc_replicate(int32_t two_n, int32_t k, const int32_t* allele_total, const float* expected,
                   AlleleSlot* slots, int32_t* sim_table, int32_t cells, float het_expected,
                   float* d_sim, const float* reference_x2, uint32_t* cell_hits,
                   bool* slots_filled, ReplicateStop* stop = nullptr);
