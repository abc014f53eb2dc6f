// Everything that belongs to the input file being analysed. The driver owns
// one of these per file; it is destroyed (freeing every buffer) before the
// next file is read.
#pragma once

#include <cstdint>

#include "genotype/buffer.h"
#include "genotype/genotype_table.h"
#include "montecarlo/run_control.h"

struct FileState {
  int file_index = 0;        // index of this file in the command line
  const char* path = nullptr;  // the argument text as given

  int32_t k = 0;      // allele classes (as read, then as kept)
  int32_t two_n = 0;  // allele copies
  int32_t cells = 0;  // k(k+1)/2 with the final k
  int32_t df = 0;

  float x2_obs = 0;
  float x2_crit = 0;
  int32_t het_observed = 0;
  float het_expected = 0;
  float d_obs = 0;
  char mc_answer = 'n';

  McState mc{};

  GenotypeTable table;
  Buffer<float> expected;
  Buffer<float> allele_freq;
  Buffer<int32_t> allele_total;
  Buffer<float> cell_x2;
  Buffer<char> allele_letters;
};
