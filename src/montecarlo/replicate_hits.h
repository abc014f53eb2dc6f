// Whether a replicate's chi-square and D are at least as extreme as the
// observed ones. Chi-square upward on the double sums, at least the observed
// value less the tie margin; D on the scaled integers of scaled_value.h,
// one-tailed in the direction of the observed deviation (every replicate
// counts when the observed D rounds to 0) and two-tailed by size.
#pragma once

#include <cstdint>

#include "montecarlo/replicate.h"
#include "montecarlo/scaled_value.h"

struct ObservedScaled {
  double x2_threshold;
  int64_t d;
  int64_t d_abs;
};

struct HitCounts {
  uint32_t hw = 0;
  uint32_t d_one = 0;
  uint32_t d_both = 0;
};

// x2_obs: the observed table's chi-square in double (table_chi_square).
inline ObservedScaled scale_observed(double x2_obs, float d_obs) {
  const int64_t d = scale_d(d_obs);
  return ObservedScaled{x2_obs * (1.0 - kTieMargin), d, d < 0 ? -d : d};
}

inline void count_replicate_hits(const ObservedScaled& obs, const ReplicateScores& sim,
                                 HitCounts& hits) {
  hits.hw += sim.x2 >= obs.x2_threshold;
  const int64_t d = scale_d(sim.d);
  if (obs.d > 0) {
    hits.d_one += d >= obs.d;
  } else if (obs.d < 0) {
    hits.d_one += d <= obs.d;
  } else {
    hits.d_one += 1;
  }
  hits.d_both += (d < 0 ? -d : d) >= obs.d_abs;
}
