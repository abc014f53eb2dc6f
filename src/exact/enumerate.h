// Complete enumeration of the tables with the sample's allele counts.
//
// Tables are walked allele by allele (row i: its heterozygotes with each later
// allele, then its homozygotes with the partners of the last allele), and the
// last two alleles form a two-allele run whose tables differ by one
// homozygote of each and two fewer heterozygotes. Each run is entered at its
// most probable table and walked outwards, every table's weight being its
// neighbour's times a ratio of counts; only the entry is taken from the
// log-factorials. Weights are kept relative to a moving scale (at first the
// sample's probability) so nothing overflows, and a table below 1e-40 of the
// sample's weight is left out of the sums (together under 1e-20 of the total,
// and of any p_prob, which holds the sample's own weight). Where a run's
// weights fall below the double range relative to the scale the run goes on
// in units of its own, and every sum carries an exponent of its own: a sum
// far below the total (a p below the smallest double, 1e-60000 and further)
// keeps its relative accuracy, and its log10 is given beside it.
//
// With two alleles (one run) each tail is walked only while its tables can
// still change a sum, stretches that change none skipped (see
// TwoAlleleTails in the source): a p far in a tail costs the tables that
// change the total, some 8.6 standard deviations of H on each side of the
// mode, O(sqrt N), instead of the whole run; every figure stays the full
// walk's except where a stretch of over 8192 tables is jumped (within
// 1e-12 relative; such p lie far below the double range up to N = 10^6).
//
// Both walks are iterative, one level per cell placed, so the depth of the
// search costs no stack whatever the number of alleles.
//
// Accuracy: a run is summed in double from its mode outwards and added to
// extended-precision totals; the cutoff keeps a run to some 30 standard
// deviations of its tables, so the rounding of a run's chain of ratios and
// of its sum stays near 30 sigma * 1e-16 of the total, under 1e-10 for any
// sample small enough to enumerate. A skipped stretch's far end takes its
// weight from the log-factorials, within about 1e-13 relative.
#pragma once

#include <cstdint>

#include "exact/table_stats.h"

struct ExactPValues {
  PerTest<double> p{{1, 1, 1, 1, 1, 1, 1}};
  double prob_ties = 0;  // the probability of the tables as probable as the sample
  double prob_mid = 0;   // p_prob less half of prob_ties
  double log10_prob = 0;  // log10 of p_prob and of the mid-p, also below the double range
  double log10_prob_mid = 0;
  ULaw u_law;  // with keep_u_law
};

// The number of tables, or limit + 1 when there are more (or when finding out
// would cost more than visiting that many). The tables of the last rows are
// counted once per distinct set of copies left to them, so the cost follows
// the number of such states rather than the number of tables. A sample
// whose heterozygotes alone show more tables than the limit (thousands of
// rare alleles) is answered before any walk.
uint64_t count_tables(const TableStats& s, uint64_t limit);

struct EnumerationChoices {
  bool keep_u_law = false;  // fill ExactPValues::u_law (every tail walked then)
  // Walk every two-allele tail to the cutoff, as the figures of the shorter
  // walk are held to (tests and benchmarks).
  bool walk_every_tail = false;
};

ExactPValues enumerate_tables(const TableStats& s, const EnumerationChoices& choices = {});
