// One byte per sample and site: the ALT allele count of a biallelic call
// (0, 1 or 2); every other value is a missing call. Both passes of the
// structure-robust test read sites in this form, whatever the input.
#pragma once

#include <cstdint>

inline constexpr uint8_t kMissingCode = 3;

// The called samples of a site and its ALT allele frequency among them
// (mean is 0 when nothing is called).
struct SiteMean {
  int32_t called = 0;
  int64_t alt_copies = 0;
  double mean = 0;  // alt_copies / (2 called)
};

SiteMean site_mean(const uint8_t* codes, int32_t samples);

// The codes of one biallelic site from diploid calls given as two allele
// indices per sample (0 REF, 1 ALT); a call with any other index (no call,
// a haploid call's end marker, an allele the site should not have) is
// missing.
void codes_from_calls(const int32_t* calls, int32_t samples, uint8_t* codes);

// The centred genotype x = g - 2 mean of a code, 0 for a missing call (the
// site mean), without a branch.
template <class Real>
inline Real centred_value(uint8_t code, Real twice_mean) {
  const int32_t g = code;
  const Real called = static_cast<Real>(g < kMissingCode);
  return (static_cast<Real>(g) - twice_mean) * called;
}

// out[i] = centred_value(codes[i], 2 mean) for i in [0, n), in vector code.
template <class Real>
void centre_codes(const uint8_t* __restrict codes, int32_t n, Real twice_mean,
                  Real* __restrict out);

// The loops over samples run in pieces of this length, which the compiler
// turns into vector code, and a scalar tail.
inline constexpr int32_t kSamplePiece = 16;

template <class Real>
void centre_codes(const uint8_t* __restrict codes, int32_t n, Real twice_mean,
                  Real* __restrict out) {
  int32_t i = 0;
  for (; i + kSamplePiece <= n; i += kSamplePiece)
    for (int32_t j = 0; j < kSamplePiece; ++j) out[i + j] = centred_value(codes[i + j], twice_mean);
  for (; i < n; ++i) out[i] = centred_value(codes[i], twice_mean);
}
