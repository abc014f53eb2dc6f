#include "exact/pairing_draw.h"

#include <algorithm>
#include <cstring>

namespace {

// Uniform in [0, range) for 1 <= range <= 2^32 from 32 random bits, without
// bias (Lemire's multiply-and-reject); `bits` caches the other half of a
// 64-bit output.
struct Bits32 {
  uint64_t word = 0;
  bool half = false;
};

inline uint32_t next32(Rng64& r, Bits32& b) {
  if (b.half) {
    b.half = false;
    return static_cast<uint32_t>(b.word >> 32);
  }
  b.word = rng64_next(r);
  b.half = true;
  return static_cast<uint32_t>(b.word);
}

inline uint32_t below32(Rng64& r, Bits32& b, uint32_t range) {
  uint64_t m = static_cast<uint64_t>(next32(r, b)) * range;
  uint32_t low = static_cast<uint32_t>(m);
  if (low < range) {
    const uint32_t threshold = (0u - range) % range;
    while (low < threshold) {
      m = static_cast<uint64_t>(next32(r, b)) * range;
      low = static_cast<uint32_t>(m);
    }
  }
  return static_cast<uint32_t>(m >> 32);
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
  // Pairing: one bounded integer per individual, about as dear as a step of
  // an item-by-item draw, and one cell to count.
  return static_cast<double>(s.two_n / 2) * 1.5 <= cost;
}

std::vector<int32_t> allele_copies(const TableStats& s) {
  std::vector<int32_t> copies;
  copies.reserve(static_cast<size_t>(s.two_n));
  for (int32_t a = 0; a < s.k; ++a) copies.insert(copies.end(), s.allele[a], a);
  return copies;
}

void draw_table_by_pairing(const TableStats& s, const std::vector<int32_t>& copies, Rng64& r,
                           int64_t* t, int32_t* work) {
  const int32_t k = s.k;
  std::fill(t, t + s.cell.size(), int64_t{0});
  std::memcpy(work, copies.data(), copies.size() * sizeof(int32_t));
  Bits32 bits;
  // The last copy left takes a partner uniformly among the others; the
  // partner's place is filled by the copy before the last.
  for (uint32_t m = static_cast<uint32_t>(copies.size()); m >= 2; m -= 2) {
    const uint32_t j = below32(r, bits, m - 1);
    const int32_t a = work[m - 1];
    const int32_t b = work[j];
    work[j] = work[m - 2];
    const int32_t lo = std::min(a, b), hi = std::max(a, b);
    ++t[cell_index(lo, hi, k)];
  }
}
