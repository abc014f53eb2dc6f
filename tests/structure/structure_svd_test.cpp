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

SmallCohort make_cohort(int32_t populations) {
  SmallCohort c;
  SimulationSettings st;
  st.samples = 2100;
  st.sites = 400;
  st.populations = populations;
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
}

const SmallCohort& cohort() {
  static const SmallCohort c = make_cohort(3);
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

  // A third component is one of the many of the noise: it does not hold
  // the passes up.
  StructureModel m3;
  ASSERT_EQ(fit_structure(c.sites, 3, SvdSettings{}, 1, m3), StructureStatus::kOk);
  EXPECT_TRUE(m3.converged);
  EXPECT_LT(m3.iterations, SvdSettings{}.max_iterations);
  EXPECT_NEAR(m3.singular[2] / s(2), 1.0, 0.1);
}

TEST(StructureSvd, FindsTheSubspaceOfCloseComponents) {
  // Seven populations of about equal size: six components, close to each
  // other, above the rest by a factor of 2.2 only (which takes more than
  // the default passes). Each vector alone is ill-determined; the space
  // they span is not.
  const SmallCohort c = make_cohort(7);
  const Eigen::BDCSVD<Eigen::MatrixXd> dense(c.x, Eigen::ComputeThinU);
  SvdSettings more;
  more.max_iterations = 12;
  StructureModel m;
  ASSERT_EQ(fit_structure(c.sites, 6, more, 2, m), StructureStatus::kOk);
  EXPECT_TRUE(m.converged);
  for (int32_t k = 0; k < 6; ++k)
    EXPECT_NEAR(m.singular[static_cast<size_t>(k)] / dense.singularValues()(k), 1.0, 1e-6) << k;
  const Eigen::Map<const Eigen::MatrixXd> u(m.u.data(), m.samples, 6);
  // The cosines of the principal angles between the two spaces.
  const Eigen::VectorXd cosines =
      Eigen::JacobiSVD<Eigen::MatrixXd>(dense.matrixU().leftCols(6).transpose() * u)
          .singularValues();
  EXPECT_NEAR(cosines.minCoeff(), 1.0, 1e-8);
  EXPECT_LT(dense.singularValues()(6), dense.singularValues()(5) / 2);
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
  EXPECT_EQ(fit_structure(c.sites, c.sites.kept, SvdSettings{}, 1, m),
            StructureStatus::kTooFewSites);
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
