// Benjamini-Hochberg adjusted p-values (false discovery rate), as the usual
// step-up procedure: over the m values that exist, sorted p(1) <= ... <=
// p(m), q(i) = min over j >= i of m / j * p(j), at most 1. Tied p-values get
// the same q. NaN stands for a value that does not exist: it stays NaN and
// does not count in m. The result is in the order of the input.
#pragma once

#include <span>
#include <vector>

std::vector<double> adjust_benjamini_hochberg(std::span<const double> p);

// The same, replacing each p by its q: no second array of values, for runs
// of millions of rows (8 bytes a value for the order besides the values).
void adjust_benjamini_hochberg_in_place(std::vector<double>& p);
