#include "structure/structure_site.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "brute_force_likelihood.h"
#include "exact/rng64.h"
#include "parallel/worker_pool.h"

namespace {

// A model of n samples and k components with arbitrary vectors (the test
// needs no orthogonality), column-major as the model keeps them.
StructureModel hand_model(int32_t n, int32_t k, uint64_t seed, double scale) {
  StructureModel m;
  m.samples = n;
  m.components = k;
  Rng64 r = rng64_stream(seed, 2);
  for (int32_t i = 0; i < n * k; ++i) m.u.push_back(scale * (2 * rng64_01(r) - 1));
  m.singular.assign(static_cast<size_t>(k), 1.0);
  return m;
}

// The frequencies of the header, computed here from its formulas: c the
// least-squares fit over the called samples (normal equations formed from
// them alone, Gaussian elimination in extended precision), or U^T x when
// every sample is called.
std::vector<double> expected_frequencies(const StructureModel& m,
                                         const std::vector<uint8_t>& codes) {
  long double called = 0, copies = 0;
  for (uint8_t g : codes)
    if (g <= 2) {
      ++called;
      copies += g;
    }
  const double mean = static_cast<double>(copies / (2 * called));
  const size_t k = static_cast<size_t>(m.components);
  std::vector<long double> c(k, 0);
  std::vector<std::vector<long double>> a(k, std::vector<long double>(k, 0));
  for (size_t j = 0; j < k; ++j)
    for (int32_t i = 0; i < m.samples; ++i)
      if (codes[static_cast<size_t>(i)] <= 2) {
        const int32_t jj = static_cast<int32_t>(j);
        c[j] += model_vector(m, i, jj) * (codes[static_cast<size_t>(i)] - 2.0L * mean);
        for (size_t l = 0; l < k; ++l)
          a[j][l] += static_cast<long double>(model_vector(m, i, jj)) *
                     model_vector(m, i, static_cast<int32_t>(l));
      }
  if (called < m.samples) {
    for (size_t p = 0; p < k; ++p)
      for (size_t r = p + 1; r < k; ++r) {
        const long double f = a[r][p] / a[p][p];
        for (size_t l = p; l < k; ++l) a[r][l] -= f * a[p][l];
        c[r] -= f * c[p];
      }
    for (size_t p = k; p-- > 0;) {
      for (size_t l = p + 1; l < k; ++l) c[p] -= a[p][l] * c[l];
      c[p] /= a[p][p];
    }
  }
  std::vector<double> pi;
  for (int32_t i = 0; i < m.samples; ++i) {
    long double fitted = 0;
    for (int32_t j = 0; j < m.components; ++j)
      fitted += model_vector(m, i, j) * c[static_cast<size_t>(j)];
    pi.push_back(std::clamp(static_cast<double>(fitted / 2 + mean), 1e-4, 1 - 1e-4));
  }
  return pi;
}

TEST(StructureSite, TestsEachPopulationAgainstTheFrequenciesFromAllSamples) {
  const int32_t n = 40;
  // Large vectors push some frequencies onto the clip.
  const StructureModel model = hand_model(n, 3, 5, 0.6);
  std::vector<int32_t> pop_of(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) pop_of[static_cast<size_t>(i)] = i % 5 == 4 ? -1 : i % 3;
  const StructureGroups groups = group_samples(pop_of, 3);
  StructureWorkspace work;
  ASSERT_TRUE(prepare_structure_workspace(model, work));
  Rng64 r = rng64_stream(11, 3);
  int clipped = 0;
  for (int site = 0; site < 60; ++site) {
    std::vector<uint8_t> codes(static_cast<size_t>(n));
    for (uint8_t& g : codes)
      g = static_cast<uint8_t>(rng64_below(r, 20) == 0 ? kMissingCode : rng64_below(r, 3));
    const std::vector<double> pi = expected_frequencies(model, codes);
    InbreedingTest results[3];
    test_site_structure(model, codes.data(), groups, work, results);
    for (int32_t p = 0; p < 3; ++p) {
      std::vector<double> pop_pi;
      std::vector<int> pop_g;
      for (int32_t i = 0; i < n; ++i)
        if (pop_of[static_cast<size_t>(i)] == p && codes[static_cast<size_t>(i)] <= 2) {
          pop_pi.push_back(pi[static_cast<size_t>(i)]);
          pop_g.push_back(codes[static_cast<size_t>(i)]);
          clipped += pi[static_cast<size_t>(i)] == 1e-4 || pi[static_cast<size_t>(i)] == 1 - 1e-4;
        }
      const InbreedingTest& t = results[p];
      ASSERT_EQ(t.called, static_cast<int32_t>(pop_g.size()));
      int alt = 0;
      for (int g : pop_g) alt += g;
      if (alt == 0 || alt == 2 * t.called) {
        EXPECT_EQ(t.outcome, FitOutcome::kOneAllele);
        continue;
      }
      ASSERT_EQ(t.outcome, FitOutcome::kTested);
      const BruteForceFit b = brute_force_fit(pop_pi, pop_g);
      EXPECT_NEAR(t.f, static_cast<double>(b.f), 1e-8) << "site " << site << " population " << p;
      EXPECT_NEAR(t.statistic, static_cast<double>(b.statistic),
                  1e-9 * std::fmax(1.0, t.statistic));
      EXPECT_NEAR(t.least_frequency,
                  std::min(*std::min_element(pop_pi.begin(), pop_pi.end()),
                           1 - *std::max_element(pop_pi.begin(), pop_pi.end())),
                  1e-12);
    }
  }
  EXPECT_GT(clipped, 20);  // the clip was exercised
}

TEST(StructureSite, SaysWhichPopulationsHaveNothingToTest) {
  const int32_t n = 8;
  const StructureModel model = hand_model(n, 1, 9, 0.2);
  // Population 0: samples 0-2, all missing; 1: samples 3-5, one allele
  // (with a missing call); 2: nobody; 3: samples 6-7, both alleles.
  const StructureGroups groups = group_samples({0, 0, 0, 1, 1, 1, 3, 3}, 4);
  const std::vector<uint8_t> codes = {kMissingCode, kMissingCode, 200, 2, 2, kMissingCode, 0, 1};
  StructureWorkspace work;
  ASSERT_TRUE(prepare_structure_workspace(model, work));
  InbreedingTest results[4];
  test_site_structure(model, codes.data(), groups, work, results);
  EXPECT_EQ(results[0].outcome, FitOutcome::kNoCalls);
  EXPECT_EQ(results[0].called, 0);
  EXPECT_TRUE(std::isnan(results[0].p));
  EXPECT_EQ(results[1].outcome, FitOutcome::kOneAllele);
  EXPECT_EQ(results[1].called, 2);
  EXPECT_TRUE(std::isnan(results[1].f));
  EXPECT_EQ(results[2].outcome, FitOutcome::kNoCalls);
  EXPECT_EQ(results[3].outcome, FitOutcome::kTested);
  EXPECT_EQ(results[3].called, 2);

  // A site nobody is called at: every population untested.
  const std::vector<uint8_t> none(static_cast<size_t>(n), kMissingCode);
  test_site_structure(model, none.data(), groups, work, results);
  for (const InbreedingTest& t : results) EXPECT_EQ(t.outcome, FitOutcome::kNoCalls);
}

TEST(StructureSite, GroupsSamplesInOrder) {
  const StructureGroups g = group_samples({2, 0, -1, 2, 1, 0, 7}, 3);
  EXPECT_EQ(g.start, (std::vector<int32_t>{0, 2, 3, 5}));
  EXPECT_EQ(g.members, (std::vector<int32_t>{1, 5, 4, 0, 3}));
  EXPECT_EQ(group_count(g), 3);
  const StructureGroups one = one_group(3);
  EXPECT_EQ(one.members, (std::vector<int32_t>{0, 1, 2}));
  EXPECT_EQ(one.start, (std::vector<int32_t>{0, 3}));
}

TEST(StructureSite, GivesTheSameBitsOnAnyThreadAndWithTheLeadingComponents) {
  // More samples than a piece of the vector loops, and not a multiple of it.
  const int32_t n = 517, sites = 64;
  const StructureModel model = hand_model(n, 4, 21, 0.05);
  const StructureModel two = leading_components(model, 2);
  const StructureGroups all = one_group(n);
  Rng64 r = rng64_stream(13, 4);
  std::vector<uint8_t> codes(static_cast<size_t>(n * sites));
  for (uint8_t& g : codes)
    g = static_cast<uint8_t>(rng64_below(r, 50) == 0 ? kMissingCode : rng64_below(r, 3));
  auto site = [&](int32_t j) {
    return codes.data() + static_cast<size_t>(j) * static_cast<size_t>(n);
  };

  std::vector<InbreedingTest> serial(static_cast<size_t>(sites)), parallel(serial.size());
  StructureWorkspace work;
  ASSERT_TRUE(prepare_structure_workspace(model, work));
  for (int32_t j = 0; j < sites; ++j)
    test_site_structure(model, site(j), all, work, &serial[static_cast<size_t>(j)]);
  run_in_parallel(static_cast<size_t>(sites), 2, [&](size_t j) {
    StructureWorkspace own;
    prepare_structure_workspace(model, own);
    test_site_structure(model, site(static_cast<int32_t>(j)), all, own, &parallel[j]);
  });
  std::vector<double> c(4);
  for (int32_t j = 0; j < sites; ++j) {
    EXPECT_EQ(serial[static_cast<size_t>(j)].f, parallel[static_cast<size_t>(j)].f);
    EXPECT_EQ(serial[static_cast<size_t>(j)].statistic, parallel[static_cast<size_t>(j)].statistic);
    // Two of four components, as `auto` tries them, against the model cut to two.
    InbreedingTest cut, prefix;
    test_site_structure(two, site(j), all, work, &cut);
    const SiteMean mean = site_mean(site(j), n);
    project_site(model, site(j), mean.mean, work, c.data());
    test_projected_site(model, 2, site(j), mean, c.data(), all, work, &prefix);
    EXPECT_EQ(cut.f, prefix.f);
    EXPECT_EQ(cut.statistic, prefix.statistic);
  }
}

}  // namespace

namespace {

// A sample called at a share s of the PCA sites has its row of U shrunk by
// about s: the basis undoes it (at most by 1 / kLeastCalledShare), and is
// U itself when everyone is called everywhere.
TEST(StructureSite, BasisUndoesTheShrinkOfSamplesWithMissingCalls) {
  StructureModel m = hand_model(4, 2, 3, 0.5);
  scale_basis(m, {1, 1, 1, 1});
  EXPECT_TRUE(m.basis.empty());
  EXPECT_EQ(basis_column(m, 1), model_column(m, 1));
  scale_basis(m, {1, 0.5, 0.01, 0});
  ASSERT_EQ(m.basis.size(), m.u.size());
  for (int32_t c = 0; c < 2; ++c) {
    EXPECT_EQ(basis_column(m, c)[0], model_vector(m, 0, c));
    EXPECT_EQ(basis_column(m, c)[1], 2 * model_vector(m, 1, c));
    EXPECT_DOUBLE_EQ(basis_column(m, c)[2], 10 * model_vector(m, 2, c));
    EXPECT_DOUBLE_EQ(basis_column(m, c)[3], 10 * model_vector(m, 3, c));
  }
  EXPECT_EQ(leading_components(m, 1).basis.size(), 4u);
}

}  // namespace
