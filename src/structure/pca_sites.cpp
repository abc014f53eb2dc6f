#include "structure/pca_sites.h"

#include <algorithm>
#include <cstring>

#include "structure/genotype_codes.h"

int32_t pca_site_capacity(int32_t samples) {
  if (samples <= 0) return 0;
  const size_t by_budget = kPcaByteBudget / static_cast<size_t>(samples);
  return static_cast<int32_t>(std::clamp<size_t>(by_budget, kPcaMinSites, kPcaMaxSites));
}

bool start_pca_sites(int32_t samples, uint64_t known_sites, PcaSites& out) {
  out = PcaSites{};
  out.samples = samples;
  int32_t capacity = pca_site_capacity(samples);
  if (known_sites != 0 && known_sites < static_cast<uint64_t>(capacity))
    capacity = static_cast<int32_t>(known_sites);
  // The pages of the codes are touched only as sites arrive, so a short
  // input costs only what it fills.
  if (!out.codes.allocate(static_cast<size_t>(capacity) * static_cast<size_t>(samples)) ||
      !out.mean.allocate(static_cast<size_t>(capacity))) {
    out = PcaSites{};
    return false;
  }
  out.capacity = capacity;
  return true;
}

namespace {

// Keeps the kept sites of even place (eligible ordinals that are multiples
// of twice the stride) and doubles the stride.
void thin_pca_sites(PcaSites& sites) {
  const size_t n = static_cast<size_t>(sites.samples);
  int32_t to = 0;
  for (int32_t from = 0; from < sites.kept; from += 2, ++to) {
    if (to != from) {
      std::memcpy(sites.codes.data + static_cast<size_t>(to) * n,
                  sites.codes.data + static_cast<size_t>(from) * n, n);
      sites.mean[to] = sites.mean[from];
    }
  }
  sites.kept = to;
  sites.stride *= 2;
}

}  // namespace

void offer_pca_site(PcaSites& sites, const uint8_t* codes) {
  ++sites.offered;
  if (sites.capacity == 0) return;
  const SiteMean m = site_mean(codes, sites.samples);
  if (m.called == 0 || std::min(m.mean, 1 - m.mean) < kPcaMinMaf) return;
  const uint64_t ordinal = sites.eligible++;
  if (ordinal % sites.stride != 0) return;
  if (sites.kept == sites.capacity) {
    thin_pca_sites(sites);
    if (ordinal % sites.stride != 0) return;
  }
  std::memcpy(sites.codes.data + static_cast<size_t>(sites.kept) * static_cast<size_t>(sites.samples),
              codes, static_cast<size_t>(sites.samples));
  sites.mean[sites.kept] = m.mean;
  ++sites.kept;
}
