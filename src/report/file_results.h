// The values of one analysed input file that its report is written from.
//
// The driver fills one record per input file from its per-file state and
// buffers; the record only borrows them. The field order is the interface.
// When mc_answer is not 'y' the Monte Carlo fields (p_..., ci_...) are not
// read and runs_made and the hit counts are 0; after 'y' runs_made >= 1.
#pragma once

#include <cstdint>

#include "genotype/genotype_table.h"

struct FileResults {
  int32_t arg_count;              // including the program's own path
  char** args;                    // output file: args[arg_count - 1]
  int32_t allele_count;           // k, after empty alleles were dropped
  int file_index;                 // args[file_index] is the input file; upper-cased in place
  const char* allele_letters;     // k letters in allele-index order
  const float* allele_freq;       // k entries
  const float* expected;          // one per genotype cell
  const float* cell_x2;           // one per genotype cell
  const GenotypeCell* table;      // k(k+1)/2 cells; count and mc_hits are read
  int32_t two_n;
  float het_expected;
  float d_obs;
  float p_d_one;
  float p_d_both;
  float x2_obs;
  float x2_crit;
  int32_t df;
  int32_t het_observed;
  float p_hw;
  double ci_hw_low;
  double ci_hw_high;
  double ci_d_one_low;
  double ci_d_one_high;
  double ci_d_both_low;
  double ci_d_both_high;
  uint32_t runs_made;
  uint32_t hits_hw;
  uint32_t hits_d_one;
  uint32_t hits_d_both;
  char mc_answer;                 // 'y' when the Monte Carlo test ran
};
