// Choosing K: the smallest K <= kMaxAutoComponents whose per-site test is
// calibrated, its genomic inflation within 1 +- kCalibrationTolerance.
//
// Where: the PCA sites (every stride-th site with a minor allele frequency
// of at least 0.05, spread over the input), tested over all samples, and of
// those only the sites where every called individual's frequency
// min(pi_i, 1 - pi_i) is at least kCommonFit. Where some individuals carry
// an allele rare for them the statistic is not chi-square: a homozygote for
// it scores about 1/pi, a heterozygote -1, so most of the score's variance
// rests on events that mostly do not happen, and its median falls well
// below the chi-square median. (At 600 samples of three populations at
// F_ST 0.1 the test against the labelled populations' own frequencies
// gives 0.88 of it over all sites, 0.97 over the common ones.) Which sites
// count depends on K, since pi does.
//
// How: the vectors of the K-component fit are the first K of the fit with
// kMaxAutoComponents, so one fit serves every K: each site is projected
// once on all of them, and trying K costs one inbreeding fit per site. K
// are tried from 1 up until one is calibrated; when none is, the one whose
// inflation is nearest to 1 is taken (the first on a tie) and the choice
// says so.
//
// Null-looking: a share of sites truly out of Hardy-Weinberg proportions
// would raise a plain median (5% strong deviations move it to the null's
// 52.6th percentile, +12%), so the inflation is a trimmed one: lambda =
// median of the statistics at most lambda q(kNullShare), over
// q(kNullShare / 2), q the chi-square(1) quantile, iterated from the plain
// median to its fixed point. For statistics lambda x chi-square(1) it is
// lambda; deviations beyond the cut do not count, and with the cut at the
// null's 90th percentile few of them fall below it (at 600 samples a site
// with F = 0.1 has a non-centrality of about 6, and 1 in 5 falls below).
#pragma once

#include <cstdint>
#include <vector>

#include "structure/pca_sites.h"
#include "structure/structure_model.h"

inline constexpr int32_t kMaxAutoComponents = 10;
inline constexpr double kCalibrationTolerance = 0.05;
inline constexpr double kCommonFit = 0.05;
inline constexpr double kNullShare = 0.9;
inline constexpr double kChiSquareMedian = 0.45493642311957283;  // chi-square(1), 0.5

struct ComponentChoice {
  int32_t components = 0;         // K chosen
  bool calibrated = false;        // its inflation within the tolerance
  int32_t sites = 0;              // null-looking sites measured at the last K tried
  std::vector<double> inflation;  // for K = 1, 2, ... as tried
};

// The plain genomic inflation: median / kChiSquareMedian (NaN when empty).
double median_inflation(std::vector<double> statistics);
// The trimmed one described above (NaN when empty).
double null_inflation(std::vector<double> statistics);

// model: the fit with as many components as may be chosen (at most
// kMaxAutoComponents) to the same sites; threads as fit_structure.
StructureStatus choose_components(const PcaSites& sites, const StructureModel& model,
                                  unsigned workers, ComponentChoice& out);
