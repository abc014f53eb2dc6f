// Seeded genotypes of structured samples: population frequencies drawn from
// one ancestral frequency by the Balding-Nichols model, individuals in
// Hardy-Weinberg proportions about their own frequency (their population's,
// or for an admixed individual the mixture q p_a + (1 - q) p_b of two
// populations), and a share of sites where every individual has an
// inbreeding-like deficit F instead. The draws are the program's own
// (xoshiro256**, Marsaglia-Tsang gamma variates), the same on every
// platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct SimulationSettings {
  int32_t samples = 600;
  int32_t sites = 10000;
  int32_t populations = 3;
  double fst = 0.1;
  double deviant_share = 0.05;
  double deviant_f = 0.1;
  double admixed_share = 0;     // of the samples
  double missing = 0;           // chance of a missing call
  double patchy_missing = 0;    // instead, for every third sample, when above 0
  double ancestral_low = 0.05;  // ancestral frequencies uniform in [low, 1 - low]
  uint64_t seed = 1;
};

struct Simulation {
  int32_t samples = 0;
  int32_t sites = 0;
  int32_t populations = 0;
  std::vector<uint8_t> codes;       // site after site, samples codes each
  std::vector<int32_t> population;  // per sample; -1 for an admixed one
  // Per sample: its frequency is share p[first] + (1 - share) p[second].
  std::vector<int32_t> first, second;
  std::vector<double> share;
  std::vector<double> frequency;  // per site, populations values
  std::vector<char> deviant;      // per site
};

Simulation simulate_structure(const SimulationSettings& settings);

// The frequency a sample's genotype was drawn from.
inline double true_frequency(const Simulation& s, int32_t site, int32_t sample) {
  const double* p =
      s.frequency.data() + static_cast<size_t>(site) * static_cast<size_t>(s.populations);
  const size_t i = static_cast<size_t>(sample);
  return s.share[i] * p[s.first[i]] + (1 - s.share[i]) * p[s.second[i]];
}

inline const uint8_t* simulated_site(const Simulation& s, int32_t site) {
  return s.codes.data() + static_cast<size_t>(site) * static_cast<size_t>(s.samples);
}
