// One replicate of the Monte Carlo experiment: shuffle the two_n allele copies
// with a forward Fisher-Yates pass driven by rng_next, join consecutive copies
// into individuals, and score the replicate's chi-square and Selander's D
// (against the observed expected number of heterozygotes), counting per
// genotype whether its float32 contribution reached the observed one.
// Allocates nothing; every result is bit-identical to the defining
// step-by-step evaluation (kept in the tests as the reference).
//
// The whole-sample chi-square is summed in double from the integer counts
// and expectations computed in double from the allele counts, so that tables
// whose chi-square is mathematically equal to the observed one come out equal
// within the tie margin. The float32 sum of the classic figures cannot: its
// rounded expectations and sum move tied tables apart by units of the fifth
// decimal, where the comparison used to be made.
//
// Preconditions: 1 <= k <= 128, allele_total sums to two_n, cells = k(k+1)/2,
// every expected count is positive, slots has two_n entries, sim_table cells.
#pragma once

#include <cstdint>

#include "genotype/buffer.h"
#include "genotype/genotype_table.h"
#include "stats/cell_expectation.h"
#include "stats/locus_analysis.h"

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

// A cell's expected count in double, n_i n_j / 2N off the diagonal and
// n_i^2 / 4N on it (n_i copies of allele i, N individuals), and its reciprocal.
struct CellExpectation {
  double e;
  double inv_e;
};

// The replicates' working arrays: one slot per allele copy, a table of
// simulated counts, each cell's float32 reference contribution, its double
// expectation and its hit count, and the observed chi-square in double.
struct McWorkspace {
  Buffer<AlleleSlot> slots;
  Buffer<int32_t> sim_table;
  Buffer<float> reference_x2;
  Buffer<CellExpectation> expectation;
  Buffer<uint32_t> cell_hits;
  double x2_obs = 0;  // of the observed table, summed as a replicate's is
  bool slots_filled = false;
};

struct ReplicateScores {
  double x2;  // the whole-sample chi-square in double
  float d;    // Selander's D
};

// Up to 32768 copies every target is drawn from all the slots left (a 15-bit
// output reduced modulo their number), so a replicate is a uniform permutation
// but for the slight modulo bias, and the replicates sample the exact
// conditional distribution. Above that the first targets reach only 32768
// slots ahead.
inline bool replicates_are_uniform(int32_t two_n) { return two_n <= 32768; }

// The expectations of the cells of a sample with allele_total copies per
// allele (k alleles, two_n copies), in tri_index order.
void fill_cell_expectations(const int32_t* allele_total, int32_t k, int32_t two_n,
                            CellExpectation* out);

// Sum of (t_c - e_c)^2 / e_c over the cells, from the last cell down to 0,
// as sim_chi_square sums it: a table equal to the observed one gives the
// observed value to the last bit.
double table_chi_square(const int32_t* counts, const CellExpectation* expectation, int32_t cells);

// Draws every slot's target in slot order (two_n draws, the last one included
// although it can only name the slot itself) and makes the exchanges of the
// forward swap pass. A slot never changes again once its own exchange is made,
// so each individual (slots 2m, 2m+1) is counted as soon as its second slot is
// settled. Overwrites all k(k+1)/2 entries of sim_table with the replicate's
// genotype counts and returns the number of heterozygous individuals. With a
// stop that is granted, returns early with sim_table meaningless.
int32_t permute_slots(AlleleSlot* slots, int32_t two_n, int32_t k, int32_t* sim_table,
                      ReplicateStop* stop = nullptr);

// The replicate's chi-square (table_chi_square of sim_table) and its
// per-genotype hits: cells visited from the last down to 0; for each, the
// difference from the float32 expected count rounded to float32 and
// v = diff^2 / expected in extended precision; the cell counts a hit in
// cell_hits when v, rounded to float32 and scaled, reaches the scaled
// reference contribution of the cell.
double sim_chi_square(const int32_t* sim_table, const float* expected,
                      const CellExpectation* expectation, int32_t cells,
                      const float* reference_x2, uint32_t* cell_hits);

// The whole replicate on the locus's sample with the workspace's arrays. While
// work.slots_filled is clear the allele copies are first laid out in allele
// order; it is set at the end, and later replicates shuffle the order the
// previous one left. A replicate cut short by stop counts no hit and leaves
// its scores meaningless.
ReplicateScores mc_replicate(const LocusAnalysis& locus, McWorkspace& work,
                             ReplicateStop* stop = nullptr);
