// Calibration and power on simulated cohorts: three populations at F_ST 0.1
// from one ancestral frequency, 5% of sites with F = 0.1 in every
// individual, pure or with half the individuals admixed between two
// populations. Tested as one cohort, the Hardy-Weinberg chi-square is
// inflated by the Wahlund effect; against the individual frequencies of
// two components it is not, and the deviant sites are still found.
#include <gtest/gtest.h>

#include <memory>

#include "calibration_scenario.h"

namespace {

void expect_calibrated_and_powerful(const Scenario& s) {
  ASSERT_TRUE(s.fitted);
  const size_t nulls = s.null_model.size();
  ASSERT_GT(nulls, 9000u);
  // Pooled, the plain test is far off, and flags a good share of null
  // sites at 1e-6.
  EXPECT_GT(median_inflation(s.null_naive), 2.0);
  EXPECT_GT(s.naive_flagged, static_cast<int32_t>(nulls / 50));
  // Two components: calibrated where the chi-square law holds; over all
  // null sites conservative, as the labelled test is too (alleles rare in
  // a population: 0.82 against 0.88 of the labelled test).
  EXPECT_NEAR(median_inflation(s.common_model), 1.0, kCalibrationTolerance);
  EXPECT_LT(median_inflation(s.null_model), 1.0);
  EXPECT_GT(median_inflation(s.null_model), 0.75);
  // About 0.01 null sites expected at 1e-6.
  EXPECT_LE(s.null_flagged, 1);
  // The deviant sites, at 1e-3.
  EXPECT_GT(s.deviant, 400);
  EXPECT_GE(s.found_model, s.found_apart);
  // `auto`: three populations span two dimensions of frequencies.
  EXPECT_EQ(s.choice.components, 2);
  EXPECT_TRUE(s.choice.calibrated);
  ASSERT_EQ(s.choice.inflation.size(), 2u);
  EXPECT_GT(s.choice.inflation[0], 1 + kCalibrationTolerance);
}

TEST(StructureCalibration, ThreePopulations) {
  const std::unique_ptr<Scenario> s = run_scenario(600, 10000, 0, true, 1);
  expect_calibrated_and_powerful(*s);
  // As powerful as knowing the populations.
  EXPECT_GE(s->found_model, 0.9 * s->found_oracle);
}

TEST(StructureCalibration, HalfTheSamplesAdmixed) {
  const std::unique_ptr<Scenario> s = run_scenario(600, 10000, 0.5, false, 2);
  expect_calibrated_and_powerful(*s);
  // Against the true frequencies, which no test on data has, a little less.
  EXPECT_GE(s->found_model, 0.75 * s->found_oracle);
}

// Missing calls: left out of each site's fit of the frequencies and of its
// likelihood, so the test stays calibrated as the model's frequencies stay
// as good as the true ones (the oracle at the same sites), with calls
// missing at random and with every third sample missing half its calls.
TEST(StructureCalibration, MissingCalls) {
  struct Case {
    double missing, patchy;
  };
  for (const Case c : {Case{0.01, 0}, Case{0.05, 0}, Case{0, 0.5}}) {
    const std::unique_ptr<Scenario> s = run_scenario(1500, 10000, 0, false, 3, c.missing, c.patchy);
    ASSERT_TRUE(s->fitted);
    const double model = median_inflation(s->common_model);
    const double oracle = median_inflation(s->common_oracle);
    EXPECT_NEAR(model, 1.0, kCalibrationTolerance) << c.missing << " " << c.patchy;
    EXPECT_NEAR(model, oracle, 0.02) << c.missing << " " << c.patchy;
    EXPECT_LE(s->null_flagged, 1);
    EXPECT_GE(s->found_model, 0.95 * s->found_oracle);
    EXPECT_EQ(s->choice.components, 2);
    EXPECT_TRUE(s->choice.calibrated);
  }
}

}  // namespace
