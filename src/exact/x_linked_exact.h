// The exact test of Hardy-Weinberg proportions for an X-linked site, males
// hemizygous (Graffelman and Weir's test, here for any number of alleles),
// and Fisher's exact test of equal allele frequencies in the two sexes.
//
// With m_i the male copies of allele i, f_ij the female genotypes, n_i the
// copies in all, n_m males, n_f females and n_t = n_m + 2 n_f copies, a
// table with the sample's totals n_i has, under Hardy-Weinberg proportions
// in females and equal allele frequencies in the sexes, the probability
//
//   P = [prod n_i! / n_t!] [n_m! / prod m_i!] [n_f! 2^H_f / prod f_ij!]
//
// (H_f the female heterozygotes): the multivariate hypergeometric law H(m)
// of the male split times the Levene-Haldane law of the female table given
// its allele counts n_i - m_i.
// - p_x_prob: the total P of the tables with P <= P(sample), ties within a
//   relative 1e-7 counting; p_x_prob_mid: p_x_prob less half the P of the
//   tables tied with the sample.
// - p_sex_af: the total H of the male splits with H <= H(observed split),
//   ties likewise (Fisher's exact test of the 2 x k table of copies).
//
// How they are found:
// - Two alleles: every male split with the two-allele law of its females,
//   each a unimodal run walked by ratios from the sample's probability, only
//   as far as a table still changes the sums (relative 1e-20) and with the
//   runs' known totals standing in for the tables more probable than the
//   sample where that is shorter; exact whatever the sample size, at a cost
//   that grows with the male and the female spread (O(N) tables visited,
//   not N^2), so any positive max_tables enumerates.
// - More alleles: every male split x female table when there are at most
//   max_tables of them (counted with work bounded by the limit); otherwise
//   `tables` draws of the male split from its multivariate hypergeometric
//   law and the female table from the direct sampler given its allele
//   counts, an exact draw from the null law, in chunks of streams of the
//   seed and key so the threads never change a figure (with tables_auto
//   stopping at the 20th hit of p_x_prob). p_sex_af is enumerated when the
//   male splits number at most max_tables, else counted on the same draws.
// - max_tables = 0 samples every site.
//
// Enumerated sums are taken relative to the sample's probability and turned
// into p through ln P(sample), so p holds its digits down to the smallest
// double and log10 of it stays exact (1e-9 relative) below 1e-308 too.
// Alleles without copies are left out (they change no table's probability).
#pragma once

#include <cstdint>
#include <vector>

#include "exact/exact_tests.h"

struct XLinkedSample {
  int32_t k = 0;
  std::vector<int64_t> males;    // m_i, k entries
  std::vector<int64_t> females;  // f_ij, i <= j, at tri_index(i, j, k)
};

struct XLinkedResult {
  ExactMethod method = ExactMethod::kEnumeration;
  uint64_t tables = 0;  // in the table space when enumerated (at most 2^64 - 1), or drawn
  uint64_t seed = 0;
  SamplingStop stop = SamplingStop::kFixedCount;
  ExactP prob;             // p_x_prob, limits equal to it when enumerated
  uint64_t prob_hits = 0;  // sampled
  double prob_mid = 0;     // p_x_prob_mid; NaN when sampled
  // log10 of x_linked_leading_p, exact below the double range; and of
  // prob_mid when enumerated (NaN when sampled).
  double log10_lead = 0;
  double log10_mid = 0;

  ExactMethod sex_af_method = ExactMethod::kEnumeration;
  ExactP sex_af;               // p_sex_af
  uint64_t sex_af_hits = 0;    // sampled
  uint64_t sex_af_tables = 0;  // male splits enumerated, or tables drawn
};

// The p_x_prob valid as a p-value, as exact_leading_p: enumerated, itself;
// sampled, (b + 1)/(m + 1), or 20/l when stopped at the 20th hit at draw l.
double x_linked_leading_p(const XLinkedResult& result);

// Checks the sample and the options, then enumerates or samples. Statuses as
// run_exact_tests' (kNoAlleles also for a sample without a single copy); on
// any but kOk the result is left untouched.
ExactStatus run_x_linked_exact(const XLinkedSample& sample, const ExactOptions& options,
                               XLinkedResult& result);
