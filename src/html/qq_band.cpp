#include "html/qq_band.h"

#include <algorithm>
#include <boost/math/special_functions/beta.hpp>
#include <cmath>

BandPoint band_at(int64_t i, int64_t n) {
  const double a = static_cast<double>(i);
  const double b = static_cast<double>(n - i + 1);
  BandPoint p;
  p.expected = -std::log10(a / (static_cast<double>(n) + 1));
  p.low = -std::log10(boost::math::ibeta_inv(a, b, 0.975));
  p.high = -std::log10(boost::math::ibeta_inv(a, b, 0.025));
  return p;
}

std::vector<BandPoint> qq_band(int64_t n, int steps) {
  std::vector<BandPoint> band;
  if (n < 1) return band;
  const double top = std::log10(static_cast<double>(n));
  int64_t last = 0;
  for (int s = 0; s <= steps; ++s) {
    // Rank n at s = 0, rank 1 at s = steps.
    int64_t i = std::llround(std::pow(10.0, top * (1 - static_cast<double>(s) / steps)));
    i = std::clamp<int64_t>(i, 1, n);
    if (s == steps) i = 1;
    if (i == last) continue;
    last = i;
    band.push_back(band_at(i, n));
  }
  return band;
}
