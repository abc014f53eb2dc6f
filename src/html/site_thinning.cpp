#include "html/site_thinning.h"

#include <cmath>
#include <limits>

double minus_log10(double p) {
  if (p <= 0) return std::numeric_limits<double>::infinity();
  return -std::log10(p);
}

void add_site(ThinnedSites& sites, const SitePoint& site) {
  if (minus_log10(site.p) >= kStrongSite) {
    sites.strong.push_back(site);
    return;
  }
  if (sites.weak_seen % sites.stride == 0) sites.weak.push_back(site);
  ++sites.weak_seen;
  if (static_cast<int64_t>(sites.weak.size()) <= sites.cap) return;
  // The kept ones are the multiples of the stride; of those, the multiples
  // of twice the stride are every other one, starting with the first.
  sites.stride *= 2;
  size_t kept = 0;
  for (size_t i = 0; i < sites.weak.size(); i += 2) sites.weak[kept++] = sites.weak[i];
  sites.weak.resize(kept);
}
