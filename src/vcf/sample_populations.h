// Which samples of a VCF belong to which population.
//
// A --pops file has one sample per line: its ID and its population name,
// separated by tabs or spaces; blank lines are skipped. A file without any
// sample is refused, and so is a population named NA, which R and pandas
// would read as a missing value. Populations are
// numbered in the order of their first appearance in the file. Samples of
// the VCF that the file does not name are left out; IDs the file names that
// the VCF lacks are returned for the front end to warn about once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vcf/vcf_failure.h"

struct PopsEntry {
  std::string sample;
  std::string population;
};

struct PopsFile {
  VcfFailure failure;  // kBadPops with the line at fault
  std::vector<PopsEntry> entries;
};

PopsFile read_pops_file(const char* path);

struct SamplePopulations {
  std::vector<std::string> names;    // population names, index = population
  std::vector<int32_t> of_sample;    // per VCF sample: population or -1
  std::vector<int32_t> sample_count; // samples of each population
  std::vector<std::string> unknown;  // IDs in the file but not in the VCF
  // VCF samples the file does not name: how many, and the first few IDs
  // (kLeftOutExamples) for a message.
  size_t left_out_count = 0;
  std::vector<std::string> left_out;
};

inline constexpr size_t kLeftOutExamples = 5;

// Every sample in one population "all".
SamplePopulations all_samples_one_population(int32_t samples);

// Populations from the entries of a --pops file (already free of
// duplicates) and the VCF's sample IDs in column order.
SamplePopulations assign_populations(const std::vector<PopsEntry>& entries,
                                     const std::vector<std::string>& vcf_samples);
