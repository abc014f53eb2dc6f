// Whether a replicate's chi-square and D are at least as extreme as the
// observed ones, decided on the scaled integers of scaled_value.h: chi-square
// upward; D one-tailed in the direction of the observed deviation (every
// replicate counts when the observed D rounds to 0) and two-tailed by size.
#pragma once

#include <cstdint>

#include "montecarlo/scaled_value.h"

struct ObservedScaled {
  int64_t x2;
  int64_t d;
  int64_t d_abs;
};

struct HitCounts {
  uint32_t hw = 0;
  uint32_t d_one = 0;
  uint32_t d_both = 0;
};

inline ObservedScaled scale_observed(float x2_obs, float d_obs) {
  const int64_t d = scale_d(d_obs);
  return ObservedScaled{scale_chi_square(x2_obs), d, d < 0 ? -d : d};
}

inline void count_replicate_hits(const ObservedScaled& obs, float x2_sim, float d_sim,
                                 HitCounts& hits) {
  hits.hw += scale_chi_square(x2_sim) >= obs.x2;
  const int64_t d = scale_d(d_sim);
  if (obs.d > 0) {
    hits.d_one += d >= obs.d;
  } else if (obs.d < 0) {
    hits.d_one += d <= obs.d;
  } else {
    hits.d_one += 1;
  }
  hits.d_both += (d < 0 ? -d : d) >= obs.d_abs;
}
