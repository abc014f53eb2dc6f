// The fitted model of population structure: the leading left singular
// vectors of the centred genotype matrix of the PCA sites, X = G - 2 mean
// (missing calls at the site mean), X ~ U S V^T. The individual allele
// frequencies of any site follow from U alone (structure_site.h); the
// columns of U are also the samples' principal components.
//
// A missing call at the site mean is a 0 in X, so a sample's row of X, and
// with it its row of U, shrinks by about the share of its calls that are
// there: the frequencies are fitted on a basis whose rows are U's over
// that share (at least kLeastCalledShare), the `basis`; empty when every
// sample is called at every PCA site, and then U itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct StructureModel {
  int32_t samples = 0;
  int32_t components = 0;        // K: columns of U in use
  std::vector<double> u;         // samples x K, column-major: component after component
  std::vector<double> singular;  // S, K values, descending
  std::vector<double> basis;     // samples x K as u, or empty
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

inline constexpr double kLeastCalledShare = 0.1;

inline const double* basis_column(const StructureModel& m, int32_t component) {
  const std::vector<double>& b = m.basis.empty() ? m.u : m.basis;
  return b.data() + static_cast<size_t>(component) * static_cast<size_t>(m.samples);
}

// Sets the basis from each sample's called share at the PCA sites.
void scale_basis(StructureModel& m, const std::vector<double>& called_share);

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
