#include "calibration_scenario.h"

#include <algorithm>

#include "brute_force_likelihood.h"
#include "stats/chi_square.h"
#include "structure/pca_sites.h"
#include "structure/structure_site.h"
#include "structure/structure_svd.h"

double pearson_x2(const uint8_t* codes, const std::vector<int32_t>& members) {
  double n[3] = {0, 0, 0};
  for (int32_t i : members)
    if (codes[i] <= 2) ++n[codes[i]];
  const double total = n[0] + n[1] + n[2];
  const double p = (n[1] + 2 * n[2]) / (2 * total);
  if (!(p > 0 && p < 1)) return 0;
  const double e[3] = {total * (1 - p) * (1 - p), 2 * total * p * (1 - p), total * p * p};
  double x2 = 0;
  for (int g = 0; g < 3; ++g) x2 += (n[g] - e[g]) * (n[g] - e[g]) / e[g];
  return x2;
}

std::unique_ptr<Scenario> run_scenario(int32_t samples, int32_t site_count, double admixed_share,
                                       bool oracle_from_labels, uint64_t seed, double missing,
                                       double patchy_missing) {
  auto s = std::make_unique<Scenario>();
  SimulationSettings st;
  st.samples = samples;
  st.sites = site_count;
  st.admixed_share = admixed_share;
  st.seed = seed;
  st.missing = missing;
  st.patchy_missing = patchy_missing;
  s->sim = simulate_structure(st);
  const Simulation& sim = s->sim;

  PcaSites sites;
  start_pca_sites(sim.samples, 0, sites);
  for (int32_t j = 0; j < sim.sites; ++j) offer_pca_site(sites, simulated_site(sim, j));
  StructureModel ten, two;
  s->fitted =
      fit_structure(sites, kMaxAutoComponents, SvdSettings{}, 0, ten) == StructureStatus::kOk &&
      choose_components(sites, ten, 0, s->choice) == StructureStatus::kOk &&
      fit_structure(sites, 2, SvdSettings{}, 0, two) == StructureStatus::kOk;
  if (!s->fitted) return s;

  std::vector<int32_t> everyone(static_cast<size_t>(sim.samples));
  std::vector<std::vector<int32_t>> pops(static_cast<size_t>(sim.populations));
  for (int32_t i = 0; i < sim.samples; ++i) {
    everyone[static_cast<size_t>(i)] = i;
    if (sim.population[static_cast<size_t>(i)] >= 0)
      pops[static_cast<size_t>(sim.population[static_cast<size_t>(i)])].push_back(i);
  }
  const StructureGroups all = one_group(sim.samples);
  StructureWorkspace work;
  prepare_structure_workspace(two, work);
  std::vector<double> pi(static_cast<size_t>(sim.samples));
  for (int32_t j = 0; j < sim.sites; ++j) {
    const uint8_t* codes = simulated_site(sim, j);
    InbreedingTest t;
    test_site_structure(two, codes, all, work, &t);
    if (t.outcome != FitOutcome::kTested) continue;
    // The oracle: the labelled populations' sample frequencies, or the
    // frequencies the samples were drawn from.
    for (int32_t i = 0; i < sim.samples; ++i)
      pi[static_cast<size_t>(i)] = true_frequency(sim, j, i);
    if (oracle_from_labels) {
      for (const std::vector<int32_t>& pop : pops) {
        double called = 0, copies = 0;
        for (int32_t i : pop)
          if (codes[i] <= 2) {
            ++called;
            copies += codes[i];
          }
        for (int32_t i : pop) pi[static_cast<size_t>(i)] = copies / (2 * called);
      }
    }
    std::vector<double> called_pi;
    std::vector<int> called_g;
    for (int32_t i = 0; i < sim.samples; ++i)
      if (codes[i] <= 2) {
        called_pi.push_back(pi[static_cast<size_t>(i)]);
        called_g.push_back(codes[i]);
      }
    const InbreedingTest oracle = fit_against_frequencies(called_pi, called_g);
    double apart = 1;
    for (const std::vector<int32_t>& pop : pops)
      apart = std::min(apart, chi_square_upper_tail(pearson_x2(codes, pop), 1) * sim.populations);
    if (sim.deviant[static_cast<size_t>(j)]) {
      ++s->deviant;
      s->found_model += t.p < kPowerLevel;
      s->found_oracle += oracle.p < kPowerLevel;
      s->found_apart += apart < kPowerLevel;
      continue;
    }
    const double naive = pearson_x2(codes, everyone);
    s->null_model.push_back(t.statistic);
    s->null_oracle.push_back(oracle.statistic);
    s->null_naive.push_back(naive);
    s->null_flagged += t.p < kStrict;
    s->naive_flagged += chi_square_upper_tail(naive, 1) < kStrict;
    const double* p =
        sim.frequency.data() + static_cast<size_t>(j) * static_cast<size_t>(sim.populations);
    if (std::all_of(p, p + sim.populations, [](double f) { return f >= 0.05 && f <= 0.95; })) {
      s->common_model.push_back(t.statistic);
      s->common_oracle.push_back(oracle.statistic);
    }
  }
  return s;
}
