// Where the p-values of n independent tests fall under the null: the i-th
// smallest of n uniform values has the distribution Beta(i, n - i + 1), so
// its expected value is i / (n + 1) and its central 95% lies between that
// distribution's 2.5% and 97.5% quantiles. In -log10 units, as the
// quantile-quantile plot draws them.
#pragma once

#include <cstdint>
#include <vector>

struct BandPoint {
  double expected = 0;  // -log10(i / (n + 1))
  double low = 0;       // -log10 of the 97.5% quantile
  double high = 0;      // -log10 of the 2.5% quantile
};

BandPoint band_at(int64_t i, int64_t n);

// The band at about `steps` ranks spread evenly in -log10 from rank n down to
// rank 1 (always both ends), in increasing order of `expected`.
std::vector<BandPoint> qq_band(int64_t n, int steps);
