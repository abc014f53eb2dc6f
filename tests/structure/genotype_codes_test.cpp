#include "structure/genotype_codes.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

TEST(GenotypeCodes, TakeOnlyDiploidCallsOfTheTwoAlleles) {
  // REF/REF, REF/ALT, ALT/REF, ALT/ALT, no call, haploid (vector end),
  // a third allele, half a call.
  const std::vector<int32_t> calls = {0, 0, 0, 1, 1, 0, 1, 1, -1, -1, 1, INT32_MIN + 1,
                                      2, 0, 0, -1};
  std::vector<uint8_t> codes(8, 99);
  codes_from_calls(calls.data(), 8, codes.data());
  EXPECT_EQ(codes, (std::vector<uint8_t>{0, 1, 1, 2, kMissingCode, kMissingCode, kMissingCode,
                                         kMissingCode}));
}

TEST(GenotypeCodes, CountAndCentreEveryLengthAlike) {
  // Lengths around the vector pieces, and codes beyond 3 (missing too).
  for (int32_t n : {0, 1, 15, 16, 17, 33, 100}) {
    std::vector<uint8_t> codes(static_cast<size_t>(n));
    int32_t called = 0, copies = 0;
    for (int32_t i = 0; i < n; ++i) {
      const uint8_t g = static_cast<uint8_t>((i * 7 + i / 5) % 6 == 5 ? 250 : (i * 7 + i / 5) % 4);
      codes[static_cast<size_t>(i)] = g;
      if (g <= 2) {
        ++called;
        copies += g;
      }
    }
    const SiteMean m = site_mean(codes.data(), n);
    EXPECT_EQ(m.called, called);
    EXPECT_EQ(m.alt_copies, copies);
    EXPECT_EQ(m.mean, called > 0 ? copies / (2.0 * called) : 0.0);

    std::vector<double> x(static_cast<size_t>(n));
    std::vector<float> xf(static_cast<size_t>(n));
    centre_codes(codes.data(), n, 2 * m.mean, x.data());
    centre_codes(codes.data(), n, static_cast<float>(2 * m.mean), xf.data());
    for (int32_t i = 0; i < n; ++i) {
      const uint8_t g = codes[static_cast<size_t>(i)];
      EXPECT_EQ(x[static_cast<size_t>(i)], g <= 2 ? g - 2 * m.mean : 0.0);
      EXPECT_EQ(xf[static_cast<size_t>(i)], g <= 2 ? g - static_cast<float>(2 * m.mean) : 0.0f);
    }
  }
}

}  // namespace
