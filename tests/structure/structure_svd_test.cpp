#include "structure/structure_svd.h"

#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cmath>

#include "structure_simulation.h"

namespace {

// More samples than a row block of the products and more sites than a
// site block, some calls missing.
struct SmallCohort {
  Simulation sim;
  PcaSites sites;
  Eigen::MatrixXd x;  // the centred matrix of the kept sites, made here
};

const SmallCohort& cohort() {
  static const SmallCohort c = [] {
    SmallCohort c;
    SimulationSettings st;
    st.samples = 2100;
    st.sites = 400;
    st.missing = 0.02;
    st.seed = 3;
    c.sim = simulate_structure(st);
    start_pca_sites(st.samples, 0, c.sites);
    for (int32_t j = 0; j < st.sites; ++j) offer_pca_site(c.sites, simulated_site(c.sim, j));
    c.x.resize(st.samples, c.sites.kept);
    for (int32_t j = 0; j < c.sites.kept; ++j) {
      const uint8_t* g = pca_site_codes(c.sites, j);
      double called = 0, copies = 0;
      for (int32_t i = 0; i < st.samples; ++i)
        if (g[i] <= 2) {
          ++called;
          copies += g[i];
        }
      const double mean = copies / (2 * called);
      for (int32_t i = 0; i < st.samples; ++i) c.x(i, j) = g[i] <= 2 ? g[i] - 2 * mean : 0.0;
    }
    return c;
  }();
  return c;
}

TEST(StructureSvd, AgreesWithTheDenseDecomposition) {
  const SmallCohort& c = cohort();
  ASSERT_GT(c.sites.kept, 300);
  const Eigen::BDCSVD<Eigen::MatrixXd> dense(c.x, Eigen::ComputeThinU);
  const Eigen::VectorXd& s = dense.singularValues();

  // The two components of three populations: far above the rest, so the
  // default passes settle them.
  StructureModel m;
  ASSERT_EQ(fit_structure(c.sites, 2, SvdSettings{}, 1, m), StructureStatus::kOk);
  EXPECT_TRUE(m.converged);
  EXPECT_EQ(m.pca_sites, c.sites.kept);
  for (int32_t k = 0; k < 2; ++k) {
    EXPECT_NEAR(m.singular[static_cast<size_t>(k)] / s(k), 1.0, 1e-6);
    const Eigen::Map<const Eigen::VectorXd> u(model_column(m, k), m.samples);
    EXPECT_NEAR(std::fabs(u.dot(dense.matrixU().col(k))), 1.0, 1e-8);
    // The sign: the entry of largest magnitude is positive.
    Eigen::Index at;
    u.cwiseAbs().maxCoeff(&at);
    EXPECT_GT(u(at), 0);
  }

  // Components among the noise take more passes; their values settle
  // before their vectors.
  SvdSettings many;
  many.max_iterations = 60;
  many.tolerance = 1e-5;
  StructureModel m6;
  ASSERT_EQ(fit_structure(c.sites, 6, many, 2, m6), StructureStatus::kOk);
  for (int32_t k = 0; k < 6; ++k) EXPECT_NEAR(m6.singular[static_cast<size_t>(k)] / s(k), 1.0, 1e-5) << k;
}

TEST(StructureSvd, GivesTheSameBitsWithAnyNumberOfThreads) {
  const SmallCohort& c = cohort();
  StructureModel one, two;
  ASSERT_EQ(fit_structure(c.sites, 3, SvdSettings{}, 1, one), StructureStatus::kOk);
  ASSERT_EQ(fit_structure(c.sites, 3, SvdSettings{}, 2, two), StructureStatus::kOk);
  EXPECT_EQ(one.u, two.u);
  EXPECT_EQ(one.singular, two.singular);
  EXPECT_EQ(one.iterations, two.iterations);
}

TEST(StructureSvd, RefusesMoreComponentsThanTheDataHave) {
  const SmallCohort& c = cohort();
  StructureModel m;
  EXPECT_EQ(fit_structure(c.sites, 0, SvdSettings{}, 1, m), StructureStatus::kTooFewSites);
  EXPECT_EQ(fit_structure(c.sites, c.sites.kept, SvdSettings{}, 1, m), StructureStatus::kTooFewSites);
  PcaSites few;
  ASSERT_TRUE(start_pca_sites(3, 0, few));
  const uint8_t codes[4][3] = {{0, 1, 2}, {1, 1, 0}, {2, 0, 1}, {0, 2, 2}};
  for (const auto& site : codes) offer_pca_site(few, site);
  EXPECT_EQ(fit_structure(few, 3, SvdSettings{}, 1, m), StructureStatus::kTooFewSamples);
  // Two components of three samples: all there is, centred.
  ASSERT_EQ(fit_structure(few, 2, SvdSettings{}, 1, m), StructureStatus::kOk);
  EXPECT_EQ(m.samples, 3);
  EXPECT_EQ(m.u.size(), 6u);
  EXPECT_STRNE(structure_failure_words(StructureStatus::kOutOfMemory), "");
}

}  // namespace
