#include "exact/pairing_draw.h"

#include <algorithm>
#include <cstring>

namespace {

// Uniform in [0, range) for 1 <= range < 2^32 from the 32 random bits
// `bits`, without bias (Lemire's multiply-and-reject); the rare rejected
// bits are replaced by fresh ones.
inline uint32_t below32(Rng64& r, uint32_t bits, uint32_t range) {
  uint64_t m = static_cast<uint64_t>(bits) * range;
  uint32_t low = static_cast<uint32_t>(m);
  if (low < range) {
    const uint32_t threshold = (0u - range) % range;
    while (low < threshold) {
      m = static_cast<uint64_t>(static_cast<uint32_t>(rng64_next(r))) * range;
      low = static_cast<uint32_t>(m);
    }
  }
  return static_cast<uint32_t>(m >> 32);
}

inline int32_t triangle_cell(int32_t a, int32_t b, int32_t k) {
  return tri_index(std::min(a, b), std::max(a, b), k);
}

// The cell of a pair of alleles a and b: from the square when the plan has
// one, else by arithmetic.
template <bool kSquare>
inline int32_t cell_of_pair(const PairingPlan& plan, int32_t a, int32_t b, int32_t k) {
  return kSquare ? plan.pair_cell[static_cast<size_t>(a) * k + b] : triangle_cell(a, b, k);
}

// The last copy left takes a partner uniformly among the m - 1 others
// (`bits` random); the partner's place is filled by the copy before the
// last.
template <bool kSquare>
inline void pair_last(const PairingPlan& plan, int32_t k, Rng64& r, uint32_t bits, uint32_t m,
                      int64_t* t, int32_t* work) {
  const uint32_t j = below32(r, bits, m - 1);
  const int32_t a = work[m - 1];
  const int32_t b = work[j];
  work[j] = work[m - 2];
  ++t[cell_of_pair<kSquare>(plan, a, b, k)];
}

template <bool kSquare>
void pair_copies(const TableStats& s, const PairingPlan& plan, Rng64& r, int64_t* t,
                 int32_t* work) {
  const int32_t k = s.k;
  uint32_t m = static_cast<uint32_t>(plan.copies.size());
  // Two partners from each 64-bit output.
  for (; m >= 4; m -= 4) {
    const uint64_t bits = rng64_next(r);
    pair_last<kSquare>(plan, k, r, static_cast<uint32_t>(bits), m, t, work);
    pair_last<kSquare>(plan, k, r, static_cast<uint32_t>(bits >> 32), m - 2, t, work);
  }
  // The last two copies pair with each other.
  if (m == 2) ++t[cell_of_pair<kSquare>(plan, work[1], work[0], k)];
}

// Expected cost, in bounded random integers, of one hypergeometric draw of
// `small` items (after its symmetries): item by item up to 16, else about
// that many for the ratio-of-uniforms with its logarithms.
double draw_cost(double small) { return std::min(small, 16.0) + 2.0; }

}  // namespace

bool prefer_pairing(const TableStats& s) {
  if (s.two_n > kPairingMaxCopies) return false;
  // The allele-by-allele draw with each allele's expected share of the
  // copies left: two draws for its homozygotes, one per later allele for its
  // partners.
  double cost = 0;
  double copies = static_cast<double>(s.two_n);
  for (int32_t i = 0; i + 1 < s.k; ++i) {
    const double a = static_cast<double>(s.allele[i]);
    const double others = copies - a;
    cost += draw_cost(std::min(a, others)) + draw_cost(std::min(a, others) / 2);
    const double partners = a * others / std::max(copies - 1, 1.0);
    for (int32_t j = i + 1; j + 1 < s.k; ++j) {
      cost += draw_cost(std::min(partners, static_cast<double>(s.allele[j])));
    }
    copies = others - partners;
  }
  // Pairing: one bounded integer per individual, from half a random word,
  // and one cell to count, about three quarters of a step of an
  // item-by-item draw (measured: at k = 6 the two cost the same near
  // N = 500).
  return static_cast<double>(s.two_n / 2) * 0.75 <= cost;
}

PairingPlan prepare_pairing(const TableStats& s) {
  PairingPlan plan;
  plan.copies.reserve(static_cast<size_t>(s.two_n));
  for (int32_t a = 0; a < s.k; ++a) plan.copies.insert(plan.copies.end(), s.allele[a], a);
  if (s.k <= kPairCellMaxK) {
    plan.pair_cell.resize(static_cast<size_t>(s.k) * s.k);
    for (int32_t a = 0; a < s.k; ++a) {
      for (int32_t b = 0; b < s.k; ++b) plan.pair_cell[a * s.k + b] = triangle_cell(a, b, s.k);
    }
  }
  return plan;
}

void draw_table_by_pairing(const TableStats& s, const PairingPlan& plan, Rng64& r, int64_t* t,
                           int32_t* work) {
  std::fill(t, t + s.cell.size(), int64_t{0});
  std::memcpy(work, plan.copies.data(), plan.copies.size() * sizeof(int32_t));
  if (plan.pair_cell.empty()) {
    pair_copies<false>(s, plan, r, t, work);
  } else {
    pair_copies<true>(s, plan, r, t, work);
  }
}
