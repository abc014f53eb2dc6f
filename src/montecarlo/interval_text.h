// The list of 95% confidence intervals that the final screen and the report
// both show: H-W, then D one and both tails, each left out where every
// replicate was a hit (a probability of 1 has no interval worth showing).
// The two differ only in the arrow, the line end and a blank after "for H-W".
#pragma once

#include <string>

#include "montecarlo/experiment.h"

struct IntervalStyle {
  const char* hw_title;  // "for H-W" with or without a blank after it
  const char* arrow;     // what stands between the label and the limits
  const char* eol;       // the line end
};

// From "for H-W" (or "for D") to the end of the last interval line.
std::string format_interval_list(const McResults& results, const IntervalStyle& style);
