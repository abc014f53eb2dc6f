#include "structure/genotype_codes.h"

SiteMean site_mean(const uint8_t* codes, int32_t samples) {
  // Counts in lanes by position within a piece, so the pieces vectorise.
  int32_t called[kSamplePiece] = {}, copies[kSamplePiece] = {};
  int32_t i = 0;
  for (; i + kSamplePiece <= samples; i += kSamplePiece)
    for (int32_t j = 0; j < kSamplePiece; ++j) {
      const int32_t g = codes[i + j];
      const int32_t is_called = g < kMissingCode;
      called[j] += is_called;
      copies[j] += g * is_called;
    }
  for (; i < samples; ++i) {
    const int32_t g = codes[i];
    called[0] += g < kMissingCode;
    copies[0] += g < kMissingCode ? g : 0;
  }
  SiteMean m;
  for (int32_t j = 0; j < kSamplePiece; ++j) {
    m.called += called[j];
    m.alt_copies += copies[j];
  }
  if (m.called > 0) m.mean = static_cast<double>(m.alt_copies) / (2.0 * m.called);
  return m;
}

void codes_from_calls(const int32_t* calls, int32_t samples, uint8_t* codes) {
  for (int32_t i = 0; i < samples; ++i) {
    const int32_t a = calls[2 * i];
    const int32_t b = calls[2 * i + 1];
    // A negative index is large as unsigned: one test covers both faults.
    const bool plain = static_cast<uint32_t>(a) <= 1 && static_cast<uint32_t>(b) <= 1;
    codes[i] = plain ? static_cast<uint8_t>(a + b) : kMissingCode;
  }
}
