// Choosing K: the smallest K <= kMaxAutoComponents whose per-site test is
// calibrated, its genomic inflation within 1 +- kCalibrationTolerance.
//
// The inflation is measured on the PCA sites tested over all samples, and
// of those only on the sites where every called individual's frequency,
// min(pi_i, 1 - pi_i), is at least kCommonFit. Where some individuals carry
// an allele rare for them the statistic is not chi-square: a homozygote for
// it scores 1/pi, heterozygotes -1, so most of the score's variance rests
// on events that mostly do not happen, and its median falls well below
// the chi-square median (at 600 samples, F_ST 0.1, the labelled
// per-population test gives 0.88 of it over all sites, 0.97 at the common
// ones). Which sites pass depends on K, since pi does. The vectors of
// the K-component fit lie in the fit with kMaxAutoComponents, so one fit
// serves every K: each site is projected once on all of them, and trying K
// costs one inbreeding fit per site. K are tried in increasing order until
// one is calibrated; when none is, the one nearest to 1 is taken (the
// first on a tie) and the choice says so.
//
// Null-looking sites: a share of sites truly out of Hardy-Weinberg
// proportions would raise a plain median (5% of strong deviations move it
// to the 52.6th percentile of the null, 12% up), so the inflation is a
// trimmed one: lambda = median of the statistics at most lambda x
// kNullCut over the chi-square(1) quantile of 0.5 x 0.99, where kNullCut is
// the 99th percentile of chi-square(1), iterated from the plain median to
// its fixed point. Under the null scaled by lambda it gives lambda; true
// deviations beyond the cut do not count.
#pragma once

#include <cstdint>
#include <vector>

#include "structure/pca_sites.h"
#include "structure/structure_model.h"
#include "structure/structure_svd.h"

inline constexpr int32_t kMaxAutoComponents = 10;
inline constexpr double kCalibrationTolerance = 0.05;
inline constexpr double kCommonFit = 0.05;
inline constexpr double kChiSquareMedian = 0.45493642311957283;  // chi-square(1), 0.5
inline constexpr double kNullShare = 0.9;

struct ComponentChoice {
  int32_t components = 0;  // K chosen
  bool calibrated = false;
  int32_t sites = 0;       // null-looking sites measured at the K chosen
  std::vector<double> inflation;  // for K = 1, 2, ... as tried
};

// The plain genomic inflation: median / kChiSquareMedian (NaN when empty).
double median_inflation(std::vector<double> statistics);
// The trimmed one described above.
double null_inflation(std::vector<double> statistics);

// model: the fit with max_components (<= kMaxAutoComponents) components to
// the same sites.
StructureStatus choose_components(const PcaSites& sites, const StructureModel& model,
                                  unsigned workers, ComponentChoice& out);
