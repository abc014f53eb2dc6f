#include "structure/structure_model.h"

#include <algorithm>

StructureModel leading_components(const StructureModel& m, int32_t k) {
  StructureModel out = m;
  k = std::clamp(k, 0, m.components);
  out.components = k;
  out.u.resize(static_cast<size_t>(m.samples) * static_cast<size_t>(k));
  out.singular.resize(static_cast<size_t>(k));
  if (!out.basis.empty()) out.basis.resize(out.u.size());
  return out;
}

void scale_basis(StructureModel& m, const std::vector<double>& called_share) {
  m.basis.clear();
  const size_t n = static_cast<size_t>(m.samples);
  if (std::all_of(called_share.begin(), called_share.end(), [](double s) { return s == 1; }))
    return;
  m.basis.resize(m.u.size());
  for (size_t c = 0; c < static_cast<size_t>(m.components); ++c)
    for (size_t i = 0; i < n; ++i)
      m.basis[c * n + i] = m.u[c * n + i] / std::max(called_share[i], kLeastCalledShare);
}

const char* structure_failure_words(StructureStatus status) {
  switch (status) {
    case StructureStatus::kOk:
      return "";
    case StructureStatus::kTooFewSites:
      return "too few sites with a minor allele frequency of at least 0.05 for the components "
             "asked for";
    case StructureStatus::kTooFewSamples:
      return "too few samples for the components asked for";
    case StructureStatus::kOutOfMemory:
      return "not enough memory for the principal components";
  }
  return "";
}
