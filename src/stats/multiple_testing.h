// p-values taken further than their own test: the valid p-value of a test
// estimated from draws, and the Benjamini-Hochberg adjustment over many.
#pragma once

#include <span>
#include <vector>

// The valid p-value of b hits among m draws (permutations, sampled tables):
// (b + 1) / (m + 1), never 0, where the point estimate b / m can be. Counts
// up to 2^53 are exact in a double.
inline double valid_p(double hits, double draws) { return (hits + 1.0) / (draws + 1.0); }

// Benjamini-Hochberg adjusted p-values (false discovery rate), as the usual
// step-up procedure: over the m values that exist, sorted p(1) <= ... <=
// p(m), q(i) = min over j >= i of m / j * p(j), at most 1. Tied p-values get
// the same q. NaN stands for a value that does not exist: it stays NaN and
// does not count in m. The result is in the order of the input.
std::vector<double> adjust_benjamini_hochberg(std::span<const double> p);

// The same, replacing each p by its q: no second array of values, for runs
// of millions of rows (8 bytes a value for the order besides the values).
void adjust_benjamini_hochberg_in_place(std::vector<double>& p);
