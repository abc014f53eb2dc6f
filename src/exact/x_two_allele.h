// The X-linked tests of a two-allele site by walks, exact at any size.
//
// The tables are the male splits a (male copies of the first allele), each
// with the run of its female tables (x homozygotes of the first allele).
// Both the hypergeometric law of a and the two-allele law of x given a are
// log-concave, so each run is unimodal and its tables that count (no more
// probable than the sample) are its two tails beyond an interval around the
// mode, found by a galloping search on the weights' logarithms. A run whose
// mode is less probable than the sample counts whole, from its known total
// (H(a) for the female tables of split a) without a step. Otherwise its
// tails are walked outwards by ratios, each only while what is left of it
// could still change the sum by 1e-20, or, where that is shorter, the
// interval's tables are summed and taken from the run's total (kept when
// at least 1% of the total remains, so the difference holds its digits).
// The splits are walked outwards from their mode until the splits left
// could not change the sum by 1e-20. Weights are relative to the sample's
// table, so the sums neither overflow nor underflow.
#pragma once

#include <cstdint>

#include "exact/x_linked_stats.h"

// s.k == 2. p_x_prob's sums, relative to P(s).
XSums walk_two_allele_x(const XStats& s);

// s.k == 2. p_sex_af's sums, relative to H(m^s).
XSums walk_two_allele_splits(const XStats& s);

// s.k == 2. The tables in all, or 2^64 - 1 when there are more.
uint64_t count_two_allele_x_tables(const XStats& s);
