// The fitted model of population structure: the leading left singular
// vectors of the centred genotype matrix of the PCA sites, X = G - 2 mean
// (missing calls at the site mean), X ~ U S V^T. The individual allele
// frequencies of any site follow from U alone (structure_test.h); the
// columns of U are also the samples' principal components.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct StructureModel {
  int32_t samples = 0;
  int32_t components = 0;        // K: columns of U in use
  std::vector<double> u;         // samples x K, column-major: component after component
  std::vector<double> singular;  // S, K values, descending
  int32_t pca_sites = 0;         // sites the vectors were computed from
  int32_t iterations = 0;        // passes over those sites
  bool converged = false;        // every residual within the tolerance
};

inline const double* model_column(const StructureModel& m, int32_t component) {
  return m.u.data() + static_cast<size_t>(component) * static_cast<size_t>(m.samples);
}

inline double model_vector(const StructureModel& m, int32_t sample, int32_t component) {
  return model_column(m, component)[sample];
}

// The model with only its first k components (k <= m.components).
StructureModel leading_components(const StructureModel& m, int32_t k);

enum class StructureStatus {
  kOk,
  kTooFewSites,    // no more PCA sites than components
  kTooFewSamples,  // no more samples than components
  kOutOfMemory,
};

// For the front ends' messages.
const char* structure_failure_words(StructureStatus status);
