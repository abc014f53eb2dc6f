// Complete enumeration of an X-linked sample's tables, any number of
// alleles: every male split (m_i <= n_i, sum n_m), each with every female
// table of its female copies g = n - m.
//
// Splits are placed allele by allele within bounds that leave the later
// alleles room, and female tables cell by cell (each row's homozygotes,
// then its heterozygotes, the one with the last allele taking what is
// left), likewise bounded, so neither walk meets a dead end: an even number
// of copies left can always be paired. Both walks are iterative, so the
// number of alleles costs no stack. Weights are the tables' ln W relative
// to the sample (x_linked_stats.h) summed in extended precision, each
// cell's term from the log-factorials; only tables that count are raised
// from their logarithms.
#pragma once

#include <cstdint>

#include "exact/x_linked_stats.h"

// The male splits, or limit + 1 when there are more.
uint64_t count_x_splits(const XStats& s, uint64_t limit);

// The tables, or limit + 1 when there are more; the work stays within some
// limit visits of the female walk's last level.
uint64_t count_x_tables(const XStats& s, uint64_t limit);

// p_x_prob's sums over every table, relative to P(s).
XSums enumerate_x_tables(const XStats& s);

// p_sex_af's sums over every male split, relative to H(m^s).
XSums enumerate_x_splits(const XStats& s);
