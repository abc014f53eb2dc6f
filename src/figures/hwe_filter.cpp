#include "figures/hwe_filter.h"

#include <cmath>
#include <limits>

HweVerdict hwe_verdict(const HweThreshold& threshold, double p, double log10_p) {
  if (std::isnan(p) && std::isnan(log10_p)) return HweVerdict::kNone;
  // A normal double on both sides compares exactly; otherwise log10 holds
  // the digits the double lost.
  const bool in_range = threshold.p >= std::numeric_limits<double>::min() &&
                        p >= std::numeric_limits<double>::min();
  const bool below = in_range || std::isnan(log10_p) ? p < threshold.p : log10_p < threshold.log10;
  return below ? HweVerdict::kFail : HweVerdict::kPass;
}
