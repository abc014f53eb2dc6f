// The structure-robust test at genome scale: the simulated cohort of
// tests/structure (three populations, F_ST 0.1, 5% of sites with F = 0.1),
// by default 20 000 samples x 20 000 sites (HWMC_STRUCTURE_BENCH_SAMPLES and
// _SITES change it). Made once, in about a minute; the codes take
// samples x sites bytes, and the PCA sites as much again.
//
// - BM_PcaSites: pass 1's part, every site offered to the PCA sample.
// - BM_FitStructure/K/threads: the principal components of the kept sites.
// - BM_ChooseComponents/threads: `auto`, K = 1, 2, ... tried on the PCA
//   sites (with the 10-component fit made beforehand, not timed).
// - BM_TestSite/K: pass 2's part for one site on one thread (cycling
//   through the sites).
// - BM_TestAllSites/K/threads: pass 2's part for every site.
// - BM_Calibration/admixed: the tests' calibration check at the size of
//   the goal, 1 500 samples x 20 000 sites (pure populations, or half the
//   samples admixed): its figures are the counters (lambda: median
//   chi-square / 0.455 over the null sites).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "calibration_scenario.h"
#include "parallel/worker_pool.h"
#include "structure/component_choice.h"
#include "structure/pca_sites.h"
#include "structure/structure_site.h"
#include "structure/structure_svd.h"
#include "structure_simulation.h"

namespace {

int32_t from_env(const char* name, int32_t fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && std::atoi(v) > 0 ? std::atoi(v) : fallback;
}

const Simulation& cohort() {
  static const Simulation sim = [] {
    SimulationSettings st;
    st.samples = from_env("HWMC_STRUCTURE_BENCH_SAMPLES", 20000);
    st.sites = from_env("HWMC_STRUCTURE_BENCH_SITES", 20000);
    st.missing = 0.01;
    return simulate_structure(st);
  }();
  return sim;
}

void offer_all(const Simulation& sim, PcaSites& sites) {
  start_pca_sites(sim.samples, 0, sites);
  for (int32_t j = 0; j < sim.sites; ++j) offer_pca_site(sites, simulated_site(sim, j));
}

const PcaSites& pca_sites() {
  static const std::unique_ptr<PcaSites> sites = [] {
    auto s = std::make_unique<PcaSites>();
    offer_all(cohort(), *s);
    return s;
  }();
  return *sites;
}

const StructureModel& model(int32_t k) {
  static std::vector<std::unique_ptr<StructureModel>> fitted(kMaxAutoComponents + 1);
  if (!fitted[static_cast<size_t>(k)]) {
    fitted[static_cast<size_t>(k)] = std::make_unique<StructureModel>();
    fit_structure(pca_sites(), k, SvdSettings{}, 0, *fitted[static_cast<size_t>(k)]);
  }
  return *fitted[static_cast<size_t>(k)];
}

void BM_PcaSites(benchmark::State& state) {
  const Simulation& sim = cohort();
  for (auto _ : state) {
    PcaSites sites;
    offer_all(sim, sites);
    benchmark::DoNotOptimize(sites.kept);
  }
  state.counters["per_site"] = benchmark::Counter(
      static_cast<double>(sim.sites),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_FitStructure(benchmark::State& state) {
  const PcaSites& sites = pca_sites();
  StructureModel m;
  for (auto _ : state)
    fit_structure(sites, static_cast<int32_t>(state.range(0)), SvdSettings{},
                  static_cast<unsigned>(state.range(1)), m);
  state.counters["passes"] = m.iterations;
  state.counters["pca_sites"] = m.pca_sites;
}

void BM_ChooseComponents(benchmark::State& state) {
  const PcaSites& sites = pca_sites();
  const StructureModel& full = model(kMaxAutoComponents);
  ComponentChoice choice;
  for (auto _ : state)
    choose_components(sites, full, static_cast<unsigned>(state.range(0)), choice);
  state.counters["k"] = choice.components;
  state.counters["tried"] = static_cast<double>(choice.inflation.size());
}

void BM_TestSite(benchmark::State& state) {
  const Simulation& sim = cohort();
  const StructureModel& m = model(static_cast<int32_t>(state.range(0)));
  const StructureGroups all = one_group(sim.samples);
  StructureWorkspace work;
  prepare_structure_workspace(m, work);
  InbreedingTest result;
  int32_t site = 0;
  for (auto _ : state) {
    test_site_structure(m, simulated_site(sim, site), all, work, &result);
    benchmark::DoNotOptimize(result.p);
    if (++site == sim.sites) site = 0;
  }
}

void BM_TestAllSites(benchmark::State& state) {
  const Simulation& sim = cohort();
  const StructureModel& m = model(static_cast<int32_t>(state.range(0)));
  const StructureGroups all = one_group(sim.samples);
  const unsigned workers = static_cast<unsigned>(state.range(1));
  std::vector<InbreedingTest> results(static_cast<size_t>(sim.sites));
  for (auto _ : state) {
    // One block of sites per item, as the batch driver hands them out.
    constexpr int32_t kBlock = 512;
    const size_t blocks = static_cast<size_t>((sim.sites + kBlock - 1) / kBlock);
    run_in_parallel(blocks, workers, [&](size_t b) {
      StructureWorkspace work;
      prepare_structure_workspace(m, work);
      const int32_t end = std::min<int32_t>(sim.sites, static_cast<int32_t>(b + 1) * kBlock);
      for (int32_t j = static_cast<int32_t>(b) * kBlock; j < end; ++j)
        test_site_structure(m, simulated_site(sim, j), all, work, &results[static_cast<size_t>(j)]);
    });
  }
  state.counters["per_site"] = benchmark::Counter(
      static_cast<double>(sim.sites),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Calibration(benchmark::State& state) {
  const bool admixed = state.range(0) != 0;
  std::unique_ptr<Scenario> s;
  for (auto _ : state) s = run_scenario(1500, 20000, admixed ? 0.5 : 0, !admixed, admixed ? 2 : 1);
  if (!s->fitted) {
    state.SkipWithError("the model could not be fitted");
    return;
  }
  state.counters["lambda_pooled"] = median_inflation(s->null_naive);
  state.counters["pooled_flagged"] = s->naive_flagged;
  state.counters["lambda_k2"] = median_inflation(s->null_model);
  state.counters["lambda_k2_common"] = median_inflation(s->common_model);
  state.counters["lambda_oracle"] = median_inflation(s->null_oracle);
  state.counters["k2_flagged"] = s->null_flagged;
  state.counters["nulls"] = static_cast<double>(s->null_model.size());
  state.counters["deviant"] = s->deviant;
  state.counters["found_k2"] = s->found_model;
  state.counters["found_oracle"] = s->found_oracle;
  state.counters["found_apart"] = s->found_apart;
  state.counters["auto_k"] = s->choice.components;
}

BENCHMARK(BM_PcaSites)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FitStructure)
    ->ArgsProduct({{3, 10}, {1, 2}})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(BM_ChooseComponents)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(BM_TestSite)->Arg(2)->Arg(3)->Arg(10)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TestAllSites)
    ->ArgsProduct({{3}, {1, 2}})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(BM_Calibration)->Arg(0)->Arg(1)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
