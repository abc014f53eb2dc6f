// The sites of one population of a variant file as the plots need them,
// bounded: every site with -log10 p >= 2 is kept, and of the others every
// stride-th in the order they arrive, the stride doubling whenever more than
// `cap` of them would be kept. The choice depends only on the order of the
// sites, never on a random draw, so a page is the same on every run.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

inline constexpr int64_t kThinningCap = 20000;
// Sites at least this strong (in -log10 p) are all drawn.
inline constexpr double kStrongSite = 2.0;

struct SitePoint {
  int32_t chrom = 0;  // index into the group's chromosomes
  int64_t pos = 0;
  double p = 0;
  double q_bh = 0;
  std::array<int32_t, 3> genotypes{-1, -1, -1};  // AA AB BB; -1: not biallelic
};

struct ThinnedSites {
  int64_t cap = kThinningCap;
  std::vector<SitePoint> strong;  // -log10 p >= 2, all of them
  std::vector<SitePoint> weak;    // weak sites number 0, stride, 2 stride, ...
  int64_t weak_seen = 0;
  int64_t stride = 1;
};

// -log10 p; +inf for p = 0.
double minus_log10(double p);

// Takes one site with a p (never NaN).
void add_site(ThinnedSites& sites, const SitePoint& site);

inline int64_t sites_seen(const ThinnedSites& s) {
  return static_cast<int64_t>(s.strong.size()) + s.weak_seen;
}
