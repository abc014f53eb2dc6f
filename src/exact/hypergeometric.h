// Exact draws from the hypergeometric distribution, and from the two-allele
// conditional distribution of homozygotes built from it, at O(1) expected
// cost for populations up to 2^53.
#pragma once

#include <cstdint>

#include "exact/log_factorial.h"
#include "exact/rng64.h"

// lf must cover the arguments' factorials up to `total` copies.

// Successes among n items drawn without replacement from `total` items of
// which `good` are successes. Requires 0 <= n, good <= total.
//
// Up to 16 draws (after the symmetries n <-> total - n, good <-> total -
// good, n <-> good) the items are drawn one by one with unbiased integers;
// beyond, Stadlober's ratio-of-uniforms with its squeezes (H2PE's successor
// HRUA), the density ratios taken from log-factorial differences so they stay
// exact to about 1e-12 at any size.
int64_t draw_hypergeometric(const LogFactorials& lf, Rng64& r, int64_t n, int64_t good,
                            int64_t total);

// Homozygotes of an allele with `a` copies when those copies and `b` others
// (a + b even) are paired at random: the allele's copies in the odd
// positions of a random order of the a + b copies, c ~ H(a; (a+b)/2 odd
// positions, a+b), then the pairs whose both positions hold one, which is
// H(a - c; c, (a+b)/2).
int64_t draw_two_allele_homozygotes(const LogFactorials& lf, Rng64& r, int64_t a, int64_t b);
