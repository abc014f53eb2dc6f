// A simulated cohort tested three ways: pooled with Pearson's chi-square,
// against the individual frequencies of two components (and `auto`'s
// choice of K), and against an oracle: the labelled populations' own
// frequencies, or the frequencies the samples were drawn from. The tests
// run it small; the bench at full size.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "structure/component_choice.h"
#include "structure_simulation.h"

inline constexpr double kPowerLevel = 1e-3;  // deviant sites found at
inline constexpr double kStrict = 1e-6;      // null sites flagged at

// Pearson's chi-square of the samples listed, against their own allele
// frequency (0 with one allele).
double pearson_x2(const uint8_t* codes, const std::vector<int32_t>& members);

struct Scenario {
  Simulation sim;
  bool fitted = false;
  ComponentChoice choice;
  // Null sites: the model's and the oracle's statistics, all and at common
  // sites (every population's frequency within [0.05, 0.95]), and the
  // pooled chi-square.
  std::vector<double> null_model, common_model, null_oracle, common_oracle, null_naive;
  int32_t null_flagged = 0, naive_flagged = 0;
  // Deviant sites found by the model, the oracle, and each population
  // tested apart (Bonferroni over the populations, pure samples only).
  int32_t deviant = 0, found_model = 0, found_oracle = 0, found_apart = 0;
};

// Three populations at F_ST 0.1, 5% of sites with F = 0.1; admixed_share
// of the samples admixed between two of them, a share `missing` of the
// calls missing (patchy_missing: of every third sample's instead).
std::unique_ptr<Scenario> run_scenario(int32_t samples, int32_t sites, double admixed_share,
                                       bool oracle_from_labels, uint64_t seed,
                                       double missing = 0, double patchy_missing = 0);
