// The statistics of one locus: the per-file results model that the report,
// the Monte Carlo experiment and the batch rows all read.
//
// analyse_locus takes a genotype table as read (k as read, two_n copies),
// drops the empty allele classes and computes the expected counts, X2, its
// 5% critical value, heterozygosity and Selander's D and the allele
// letters. It
// never shows or ends anything; a failure is a status and leaves the model
// unusable.
#pragma once

#include <cstdint>

#include "genotype/buffer.h"
#include "genotype/genotype_table.h"

struct LocusAnalysis {
  int32_t k = 0;      // allele classes, as kept
  int32_t two_n = 0;  // allele copies
  int32_t cells = 0;  // k(k+1)/2
  int32_t df = 0;

  float x2_obs = 0;
  float x2_crit = 0;
  int32_t het_observed = 0;
  float het_expected = 0;
  float d_obs = 0;

  GenotypeTable table;
  Buffer<float> expected;
  Buffer<float> allele_freq;
  Buffer<int32_t> allele_total;
  Buffer<float> cell_x2;
  Buffer<char> allele_letters;  // k letters and a zero byte
};

enum class AnalysisStatus {
  kOk,
  kNoData,             // no allele copies at all
  kOneAllele,          // nothing to test
  kOutOfMemory,        // the working arrays could not be had
  kOutOfMemoryShrink,  // they could not be cut to the alleles present
};

AnalysisStatus analyse_locus(GenotypeTable table, int32_t k, int32_t two_n, LocusAnalysis& out);

// (k-1) N D^2 in extended precision, approximately chi-square with one degree
// of freedom.
long double selander_statistic(float d_obs, int32_t two_n, int32_t k);

// Proportions of heterozygous individuals, observed and expected.
double observed_heterozygosity(const LocusAnalysis& a);
double expected_heterozygosity(const LocusAnalysis& a);

// How a failed analysis is worded, once for every front end: each chooses
// only where the words go and in which colour. "possibly incorrect data in
// file", ...; empty for kOk.
const char* analysis_failure_words(AnalysisStatus status);
