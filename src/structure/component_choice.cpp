#include "structure/component_choice.h"

#include <algorithm>
#include <boost/math/distributions/chi_squared.hpp>
#include <cmath>
#include <limits>
#include <new>

#include "structure/structure_site.h"
#include "structure/worker_items.h"

namespace {

// The median of v[0, n) (reordered).
double median_of(double* v, size_t n) {
  if (n == 0) return std::numeric_limits<double>::quiet_NaN();
  double* mid = v + n / 2;
  std::nth_element(v, mid, v + n);
  if (n % 2 == 1) return *mid;
  const double below = *std::max_element(v, mid);
  return 0.5 * (below + *mid);
}

constexpr int32_t kMaxTrimSteps = 100;

}  // namespace

double median_inflation(std::vector<double> statistics) {
  return median_of(statistics.data(), statistics.size()) / kChiSquareMedian;
}

double null_inflation(std::vector<double> statistics) {
  const size_t n = statistics.size();
  if (n == 0) return std::numeric_limits<double>::quiet_NaN();
  const boost::math::chi_squared_distribution<double> chi2(1);
  static const double cut = boost::math::quantile(chi2, kNullShare);
  static const double trimmed_median = boost::math::quantile(chi2, 0.5 * kNullShare);
  std::sort(statistics.begin(), statistics.end());
  auto median_of_first = [&](size_t kept) {
    return kept % 2 == 1 ? statistics[kept / 2]
                         : 0.5 * (statistics[kept / 2 - 1] + statistics[kept / 2]);
  };
  double lambda = median_of_first(n) / kChiSquareMedian;
  // Sorted, the sites kept for a lambda are a prefix; the prefix grows with
  // lambda and lambda with the prefix, so the steps settle.
  for (int32_t step = 0; step < kMaxTrimSteps && lambda > 0; ++step) {
    const size_t kept = static_cast<size_t>(
        std::upper_bound(statistics.begin(), statistics.end(), lambda * cut) - statistics.begin());
    if (kept == 0) break;
    const double next = median_of_first(kept) / trimmed_median;
    if (next == lambda) break;
    lambda = next;
  }
  return lambda;
}

StructureStatus choose_components(const PcaSites& sites, const StructureModel& model,
                                  unsigned workers, ComponentChoice& out) {
  out = ComponentChoice{};
  const int32_t kmax = model.components;
  if (kmax < 1) return StructureStatus::kTooFewSites;
  const size_t m = static_cast<size_t>(sites.kept);
  try {
    const StructureGroups everyone = one_group(model.samples);
    std::vector<SiteMean> means(m);
    std::vector<double> projections(m * static_cast<size_t>(kmax));
    std::vector<double> statistic(m);
    std::vector<char> tested(m);
    struct Scratch {
      StructureWorkspace work;
    };
    auto make = [&](Scratch& s) { return prepare_structure_workspace(model, s.work); };
    const bool projected =
        run_items_with_scratch<Scratch>(m, workers, make, [&](size_t j, Scratch& s) {
          const uint8_t* codes = pca_site_codes(sites, static_cast<int32_t>(j));
          means[j] = site_mean(codes, model.samples);
          project_site(model, codes, means[j].mean, s.work,
                       projections.data() + j * static_cast<size_t>(kmax));
        });
    if (!projected) return StructureStatus::kOutOfMemory;

    double best = std::numeric_limits<double>::infinity();
    for (int32_t k = 1; k <= kmax; ++k) {
      const bool done =
          run_items_with_scratch<Scratch>(m, workers, make, [&](size_t j, Scratch& s) {
            InbreedingTest t;
            test_projected_site(model, k, pca_site_codes(sites, static_cast<int32_t>(j)), means[j],
                                projections.data() + j * static_cast<size_t>(kmax), everyone,
                                s.work, &t);
            tested[j] = t.outcome == FitOutcome::kTested && t.least_frequency >= kCommonFit;
            statistic[j] = t.statistic;
          });
      if (!done) return StructureStatus::kOutOfMemory;
      std::vector<double> values;
      values.reserve(m);
      for (size_t j = 0; j < m; ++j)
        if (tested[j]) values.push_back(statistic[j]);
      out.sites = static_cast<int32_t>(values.size());
      const double lambda = null_inflation(std::move(values));
      out.inflation.push_back(lambda);
      const double distance = std::fabs(lambda - 1);
      if (distance < best) {
        best = distance;
        out.components = k;
      }
      if (distance <= kCalibrationTolerance) {
        out.calibrated = true;
        out.components = k;
        break;
      }
    }
    if (out.components == 0) out.components = 1;  // no site had a test
  } catch (const std::bad_alloc&) {
    out = ComponentChoice{};
    return StructureStatus::kOutOfMemory;
  }
  return StructureStatus::kOk;
}
