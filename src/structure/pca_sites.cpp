#include "structure/pca_sites.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "structure/genotype_codes.h"

int32_t pca_site_capacity(int32_t samples) {
  if (samples <= 0) return 0;
  const size_t by_budget = kPcaByteBudget / static_cast<size_t>(samples);
  return static_cast<int32_t>(std::clamp<size_t>(by_budget, kPcaMinSites, kPcaMaxSites));
}

namespace {

// The codes in pages of 2 MiB where the system has them: the first touch
// of hundreds of MB in pages of 4 KiB costs about a second by itself.
constexpr size_t kLargePage = size_t{1} << 21;

bool allocate_codes(Buffer<uint8_t>& codes, size_t bytes) {
  codes.reset();
  if (bytes < kLargePage) return codes.allocate(bytes);
  const size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
  void* p = std::aligned_alloc(kLargePage, rounded);
  if (p == nullptr) return false;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  madvise(p, rounded, MADV_HUGEPAGE);  // only advice: without it, small pages
#endif
  codes.data = static_cast<uint8_t*>(p);
  codes.size = bytes;
  return true;
}

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

bool start_pca_sites(int32_t samples, uint64_t known_sites, PcaSites& out) {
  out = PcaSites{};
  out.samples = samples;
  int32_t capacity = pca_site_capacity(samples);
  if (known_sites != 0 && known_sites < static_cast<uint64_t>(capacity))
    capacity = static_cast<int32_t>(known_sites);
  // The pages of the codes are touched only as sites arrive, so a short
  // input costs only what it fills.
  if (!allocate_codes(out.codes, static_cast<size_t>(capacity) * static_cast<size_t>(samples)) ||
      !out.mean.allocate(static_cast<size_t>(capacity))) {
    out = PcaSites{};
    return false;
  }
  out.capacity = capacity;
  return true;
}

void offer_pca_site(PcaSites& sites, const uint8_t* codes) {
  ++sites.offered;
  if (sites.capacity == 0) return;
  const SiteMean m = site_mean(codes, sites.samples);
  // MAF >= 1/20, in whole copies so that 1/20 itself is in on either allele.
  const int64_t copies = 2 * static_cast<int64_t>(m.called);
  if (m.called == 0 || std::min(m.alt_copies, copies - m.alt_copies) * kPcaMafDenominator < copies)
    return;
  const uint64_t ordinal = sites.eligible++;
  if (ordinal % sites.stride != 0) return;
  if (sites.kept == sites.capacity) {
    thin_pca_sites(sites);
    if (ordinal % sites.stride != 0) return;
  }
  std::memcpy(
      sites.codes.data + static_cast<size_t>(sites.kept) * static_cast<size_t>(sites.samples),
      codes, static_cast<size_t>(sites.samples));
  sites.mean[sites.kept] = m.mean;
  ++sites.kept;
}
