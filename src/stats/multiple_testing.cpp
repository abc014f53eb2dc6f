#include "stats/multiple_testing.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

void adjust_benjamini_hochberg_in_place(std::vector<double>& p) {
  std::vector<size_t> order;
  order.reserve(p.size());
  for (size_t i = 0; i < p.size(); ++i)
    if (!std::isnan(p[i])) order.push_back(i);
  // Equal values in input order (their q is equal either way); std::sort
  // needs no buffer, unlike a stable sort.
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return p[a] < p[b] || (p[a] == p[b] && a < b); });
  const double m = static_cast<double>(order.size());
  double running = 1.0;
  for (size_t rank = order.size(); rank > 0; --rank) {
    const size_t i = order[rank - 1];
    running = std::min(running, m / static_cast<double>(rank) * p[i]);
    p[i] = running;
  }
}

std::vector<double> adjust_benjamini_hochberg(std::span<const double> p) {
  std::vector<double> q(p.begin(), p.end());
  adjust_benjamini_hochberg_in_place(q);
  return q;
}
