// The sites the principal components are computed from, chosen in one pass
// over the input without knowing how many sites it has.
//
// Eligible are the sites offered (biallelic, autosomal: the caller's
// choice) whose minor allele frequency among the called samples is at least
// 0.05. Of the eligible sites, those whose eligible ordinal is a multiple of
// the stride are kept; the stride starts at 1 and doubles whenever one more
// site would not fit, dropping every other kept site. So the sites kept are
// always every stride-th eligible site, spread evenly over the input,
// between half the capacity and the capacity of them, and the choice does
// not depend on whether the number of sites was known beforehand.
//
// Memory rule: one byte per sample and kept site, at most
// kPcaByteBudget bytes (20 000 sites of 20 000 samples), at most
// kPcaMaxSites sites and never fewer than kPcaMinSites (so above 200 000
// samples the sites take kPcaMinSites bytes per sample).
#pragma once

#include <cstddef>
#include <cstdint>

#include "genotype/buffer.h"

inline constexpr size_t kPcaByteBudget = 400'000'000;
inline constexpr int32_t kPcaMaxSites = 20'000;
inline constexpr int32_t kPcaMinSites = 2'000;
inline constexpr int64_t kPcaMafDenominator = 20;  // MAF >= 1/20

// The number of sites kept for `samples` samples under the memory rule.
int32_t pca_site_capacity(int32_t samples);

struct PcaSites {
  int32_t samples = 0;
  int32_t capacity = 0;  // sites the buffer holds
  int32_t kept = 0;
  uint64_t stride = 1;    // in eligible sites
  uint64_t eligible = 0;  // eligible sites offered so far
  uint64_t offered = 0;   // all sites offered so far
  Buffer<uint8_t> codes;  // kept sites, samples codes each, in input order
  Buffer<double> mean;    // their ALT allele frequencies among the called samples
};

// Makes room for the sites of `samples` samples. known_sites, when not 0, is
// the number of sites the input has (from its index): no more room is taken
// than that many sites need, and the sites kept are the same as without it.
// False when the memory cannot be had.
bool start_pca_sites(int32_t samples, uint64_t known_sites, PcaSites& out);
// Offers the next site of the input (samples codes).
void offer_pca_site(PcaSites& sites, const uint8_t* codes);

inline const uint8_t* pca_site_codes(const PcaSites& sites, int32_t site) {
  return sites.codes.data + static_cast<size_t>(site) * static_cast<size_t>(sites.samples);
}
