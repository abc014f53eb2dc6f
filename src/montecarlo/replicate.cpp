#include "montecarlo/replicate.h"

#include <array>
#include <cmath>
#include <cstring>

#include "montecarlo/rng.h"
#include "montecarlo/scaled_value.h"

namespace {

// r mod d for r < 2^15 and 1 <= d <= 2^15 without a division: with
// M = ceil(2^32 / d), the low 32 bits of M * r scaled by d / 2^32 are the
// remainder (exact for all 16-bit r and d; checked exhaustively). M of d = 1
// wraps to 0, which still gives 0.
constexpr uint32_t kModLimit = 32768;

constexpr std::array<uint32_t, kModLimit + 1> make_mod_magic() {
  std::array<uint32_t, kModLimit + 1> magic{};
  for (uint32_t d = 1; d <= kModLimit; ++d) magic[d] = 0xFFFFFFFFu / d + 1u;
  return magic;
}

constexpr std::array<uint32_t, kModLimit + 1> kModMagic = make_mod_magic();

inline uint32_t remainder_of_draw(uint32_t r, uint32_t d) {
  const uint32_t low = kModMagic[d] * r;
  return static_cast<uint32_t>((static_cast<uint64_t>(low) * d) >> 32);
}

// The generator two steps at a time: s2 = A^2 s + (A + 1) gives the same
// sequence with a dependency chain half as long; the odd state hangs off it.
constexpr uint32_t kMul = 22695477u;
constexpr uint32_t kMul2 = kMul * kMul;
constexpr uint32_t kAdd2 = kMul + 1u;

inline uint32_t output_of(uint32_t state) { return (state >> 16) & 0x7FFFu; }

// One exchange of the swap pass; returns the allele slot i ends with, which
// no later exchange changes (they only reach slots above their own).
inline int32_t exchange(AlleleSlot* slots, int32_t i) {
  const int32_t t = slots[i].target;
  const int8_t mine = slots[i].allele;
  const int8_t theirs = slots[t].allele;
  slots[t].allele = mine;
  slots[i].allele = theirs;
  return theirs;
}

// Draws the targets of slots [begin, end) (begin even) and advances state.
// While more than 32767 slots are left an output (at most 32767) is its own
// remainder; below unreduced no reduction is made. From there on at most 32768
// slots are left, inside the reciprocal table.
inline void draw_targets(AlleleSlot* slots, int32_t begin, int32_t end, int32_t two_n,
                         int32_t unreduced, uint32_t& state_io) {
  // A local copy: the stores of the targets could alias a referenced state and
  // would put a memory round trip into the generator's chain.
  uint32_t state = state_io;
  int32_t i = begin;
  const int32_t plain_end = unreduced < end ? unreduced : end;
  for (; i + 1 < plain_end; i += 2) {
    const uint32_t odd = state * kMul + 1u;
    state = state * kMul2 + kAdd2;
    slots[i].target = i + static_cast<int32_t>(output_of(odd));
    slots[i + 1].target = i + 1 + static_cast<int32_t>(output_of(state));
  }
  for (; i + 1 < end; i += 2) {
    const uint32_t odd = state * kMul + 1u;
    state = state * kMul2 + kAdd2;
    const uint32_t left = static_cast<uint32_t>(two_n - i);
    slots[i].target = i + static_cast<int32_t>(remainder_of_draw(output_of(odd), left));
    slots[i + 1].target =
        i + 1 + static_cast<int32_t>(remainder_of_draw(output_of(state), left - 1));
  }
  if (i < end) {
    const uint32_t left = static_cast<uint32_t>(two_n - i);
    const uint32_t r = rng_step(state);
    slots[i].target = i + static_cast<int32_t>(left > kModLimit ? r : remainder_of_draw(r, left));
  }
  state_io = state;
}

// The swap pass in blocks: first a block's draws (the generator's dependency
// chain alone), then its exchanges, whose addresses are known early, handing
// each settled individual to count(a, b). Two such passes run faster than one
// mixed loop, and a block's targets stay in the first-level cache.
//
// A stop request is looked for once per kBlocksPerStopCheck blocks, so only
// samples of tens of thousands of copies ever ask, and then at a cost far
// below the work between two questions. Returns false when cut short.
constexpr int32_t kBlock = 512;
constexpr int32_t kBlocksPerStopCheck = 64;

template <class CountPair>
inline bool shuffle_and_pair(AlleleSlot* slots, int32_t two_n, ReplicateStop* stop,
                             CountPair&& count) {
  const int32_t unreduced = two_n > 32767 ? two_n - 32767 : 0;
  uint32_t state = rng_state;
  int32_t until_stop_check = kBlocksPerStopCheck;
  for (int32_t begin = 0; begin < two_n; begin += kBlock) {
    if (--until_stop_check == 0) {
      until_stop_check = kBlocksPerStopCheck;
      if (stop != nullptr && stop->requested != nullptr && stop->requested(stop->ctx)) {
        rng_state = state;
        stop->stopped = true;
        return false;
      }
    }
    const int32_t end = two_n - begin > kBlock ? begin + kBlock : two_n;
    draw_targets(slots, begin, end, two_n, unreduced, state);
    int32_t i = begin;
    for (; i + 1 < end; i += 2) {
      const int32_t a = exchange(slots, i);
      const int32_t b = exchange(slots, i + 1);
      count(a, b);
    }
    if (i < end) exchange(slots, i);
  }
  rng_state = state;
  return true;
}

// Few alleles: individuals are counted in a full k x k square, ordered pair
// by ordered pair, which needs neither the lower-index-first ordering nor a
// heterozygote test per individual; the square is folded into the triangle
// afterwards. Worth it while the square is small beside the sample.
constexpr int32_t kMaxSquareK = 64;

int32_t permute_into_square(AlleleSlot* slots, int32_t two_n, int32_t k, int32_t* sim_table,
                            ReplicateStop* stop) {
  int32_t square[kMaxSquareK * kMaxSquareK];
  std::memset(square, 0, sizeof(int32_t) * static_cast<size_t>(k * k));
  if (!shuffle_and_pair(slots, two_n, stop, [&](int32_t a, int32_t b) { ++square[a * k + b]; }))
    return 0;
  int32_t homozygotes = 0;
  int32_t c = 0;
  for (int32_t i = 0; i < k; ++i) {
    homozygotes += square[i * k + i];
    sim_table[c++] = square[i * k + i];
    for (int32_t j = i + 1; j < k; ++j) sim_table[c++] = square[i * k + j] + square[j * k + i];
  }
  return two_n / 2 - homozygotes;
}

int32_t permute_into_triangle(AlleleSlot* slots, int32_t two_n, int32_t k, int32_t* sim_table,
                              ReplicateStop* stop) {
  std::memset(sim_table, 0, sizeof(int32_t) * static_cast<size_t>(cell_count_for(k)));
  // tri_index(i, j, k) = row_start[i] + j
  int32_t row_start[128];
  for (int32_t i = 0; i < k; ++i) row_start[i] = tri_index(i, 0, k);
  int32_t het = 0;
  shuffle_and_pair(slots, two_n, stop, [&](int32_t a, int32_t b) {
    const int32_t lo = a < b ? a : b;
    const int32_t hi = a < b ? b : a;
    ++sim_table[row_start[lo] + hi];
    het += a != b;
  });
  return het;
}

// scale_chi_square(v) >= scale_chi_square(x2). The outcome is random from
// cell to cell, so the common case (both values in the range where double
// scaling is exact) is tested once and then compared without branching.
inline bool reaches(float v, float x2) {
  using scaled_detail::kFastLimit;
  if ((std::fabs(v) < kFastLimit) & (std::fabs(x2) < kFastLimit)) {
    return scaled_detail::fast_scale(v, 0.5) >= scaled_detail::fast_scale(x2, 0.5);
  }
  return scale_chi_square(v) >= scale_chi_square(x2);
}

}  // namespace

int32_t permute_slots(AlleleSlot* slots, int32_t two_n, int32_t k, int32_t* sim_table,
                      ReplicateStop* stop) {
  if (k <= kMaxSquareK && k * k <= two_n)
    return permute_into_square(slots, two_n, k, sim_table, stop);
  return permute_into_triangle(slots, two_n, k, sim_table, stop);
}

void fill_cell_expectations(const int32_t* allele_total, int32_t k, int32_t two_n,
                            CellExpectation* out) {
  const double copies = static_cast<double>(two_n);
  for (int32_t i = 0; i < k; ++i) {
    const double ni = static_cast<double>(allele_total[i]);
    for (int32_t j = i; j < k; ++j) {
      const double nj = static_cast<double>(allele_total[j]);
      const double e = cell_expectation(ni, nj, copies, i == j);
      out[tri_index(i, j, k)] = CellExpectation{e, 1.0 / e};
    }
  }
}

namespace {

// An empty cell contributes its expected count, exactly.
inline double x2_term(const CellExpectation& c, int32_t t) {
  if (t == 0) return c.e;
  const double d = static_cast<double>(t) - c.e;
  return d * d * c.inv_e;
}

}  // namespace

double table_chi_square(const int32_t* counts, const CellExpectation* expectation,
                        int32_t cells) {
  double x2 = 0.0;
  for (int32_t c = cells - 1; c >= 0; --c) x2 += x2_term(expectation[c], counts[c]);
  return x2;
}

double sim_chi_square(const int32_t* sim_table, const float* expected,
                      const CellExpectation* expectation, int32_t cells,
                      const float* reference_x2, uint32_t* cell_hits) {
  double x2 = 0.0;
  for (int32_t c = cells - 1; c >= 0; --c) {
    const int32_t n = sim_table[c];
    x2 += x2_term(expectation[c], n);
    float v_rounded;
    if (n == 0) {
      // diff is -e exactly and e * e (48 bits) is exact in extended precision,
      // so v = e * e / e is e itself: an empty cell, the common case when
      // there are many genotypes, needs neither the division nor the x87 unit.
      v_rounded = expected[c];
    } else {
      const float e = expected[c];
      const float diff = static_cast<float>(static_cast<long double>(n) - e);
      v_rounded = static_cast<float>(static_cast<long double>(diff) * diff / e);
    }
    cell_hits[c] += reaches(v_rounded, reference_x2[c]);
  }
  return x2;
}

ReplicateScores mc_replicate(const LocusAnalysis& locus, McWorkspace& work, ReplicateStop* stop) {
  AlleleSlot* slots = work.slots.data;
  if (!work.slots_filled) {
    int32_t i = 0;
    for (int32_t j = 0; j < locus.k; ++j) {
      for (int32_t c = 0; c < locus.allele_total[j]; ++c)
        slots[i++].allele = static_cast<int8_t>(j);
    }
  }
  work.slots_filled = true;
  const int32_t het_sim = permute_slots(slots, locus.two_n, locus.k, work.sim_table.data, stop);
  if (stop != nullptr && stop->stopped) return ReplicateScores{0.0, 0.0f};
  ReplicateScores scores;
  scores.x2 = sim_chi_square(work.sim_table.data, locus.expected.data, work.expectation.data,
                             locus.cells, work.reference_x2.data, work.cell_hits.data);
  const float het_expected = locus.het_expected;
  scores.d = static_cast<float>((static_cast<long double>(het_sim) - het_expected) / het_expected);
  return scores;
}
