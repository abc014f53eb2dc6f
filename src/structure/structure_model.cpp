#include "structure/structure_model.h"

#include <algorithm>

StructureModel leading_components(const StructureModel& m, int32_t k) {
  StructureModel out = m;
  k = std::clamp(k, 0, m.components);
  out.components = k;
  out.u.resize(static_cast<size_t>(m.samples) * static_cast<size_t>(k));
  out.singular.resize(static_cast<size_t>(k));
  return out;
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
