// The Hardy-Weinberg filter of quality control: a unit fails at threshold P
// when the p that decides is below P. The deciding p is the leading p, or
// with `midp` its mid-p where the leading test has one. Both sides are
// compared as doubles while they are in the double range, which is what
// peers that filter on p do, and in log10 below it, so that P = 1e-600
// separates tables whose p underflows to 0.
#pragma once

#include <cstdint>

enum class HweVerdict : uint8_t { kNone, kPass, kFail };

struct HweThreshold {
  double p = 0;      // 0 where P lies below the double range
  double log10 = 0;  // log10 P
  bool midp = false;
};

// p and its log10 (NaN: no p): the verdict, kNone without a p.
HweVerdict hwe_verdict(const HweThreshold& threshold, double p, double log10_p);
