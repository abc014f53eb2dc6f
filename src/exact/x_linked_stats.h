// One X-linked sample prepared for its exact tests: alleles without copies
// left out, the others ordered by ascending total (tables only relabelled),
// and the logarithms of the sample's probabilities the sums are taken
// relative to.
//
// Relative to the sample, a table (m, f) weighs
//   W = P(m, f) / P(s) = prod m_i^s! / m_i!  prod f_c^s! / f_c!  2^(H - H^s)
// (the totals' factorials cancel), and a male split
//   V = H(m) / H(m^s) = prod m_i^s! g_i^s! / (m_i! g_i!)
// with g = n - m the female copies. Sums of W (or V) over the tables that
// count are turned into p through ln P(s) (or ln H(m^s)).
#pragma once

#include <cstdint>
#include <vector>

#include "exact/log_factorial.h"
#include "exact/x_linked_exact.h"

struct XStats {
  int32_t k = 0;                       // alleles with copies
  std::vector<int64_t> total;          // n_i, ascending
  std::vector<int64_t> male;           // the sample's m_i
  std::vector<int64_t> female_copies;  // the sample's g_i = n_i - m_i
  std::vector<int64_t> female;         // the sample's f_c, triangle of the reordered alleles
  int64_t n_m = 0;
  int64_t n_f = 0;
  int64_t n_t = 0;
  int64_t h_f = 0;                    // the sample's female heterozygotes
  const LogFactorials* lf = nullptr;  // covering n_t, owned by the caller
  long double log_p_sample = 0;       // ln P(s)
  long double log_h_sample = 0;       // ln H(m^s)
};

// From a sample checked by run_x_linked_exact (at least one copy).
XStats prepare_x_stats(const XLinkedSample& sample, const LogFactorials& lf);

constexpr long double kLn2L = 0.693147180559945309417232121458176568L;

// A weight W within these logarithms ties with the sample; one at most the
// upper counts as no more probable. ln(1 + 1e-7) and ln(1 - 1e-7), the
// relative tie margin of the other exact tests.
constexpr long double kLogTieHigh = 9.9999995000000333333308333335333e-8L;
constexpr long double kLogTieLow = -1.0000000500000033333335833333533e-7L;

// Sums of relative weights: of the tables that count, and of those tied
// with the sample (a part of the first); and whether any table was left out
// as more probable than the sample (if none was, every table counts and p is
// 1 exactly).
struct XSums {
  long double counted = 0;
  long double ties = 0;
  bool skipped = false;
};

struct XPValue {
  double p = 1;
  double mid = 0.5;
  double log10_p = 0;
  double log10_mid = 0;
};

// p = exp(log_scale) * counted (1 when nothing was skipped) and its mid-p,
// at most 1, with their log10 from the logarithms (exact where p is below
// the double range).
XPValue p_from_sums(long double log_scale, const XSums& sums);
