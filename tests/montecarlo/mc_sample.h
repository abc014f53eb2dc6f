// Samples for the Monte Carlo tests, prepared by the real statistics exactly
// as the analysis phase prepares them (compaction, expected counts, D), with
// the replicates' workspace as the experiment prepares it.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "genotype/buffer.h"
#include "genotype/genotype_table.h"
#include "montecarlo/experiment.h"
#include "montecarlo/replicate.h"
#include "stats/expected_x2.h"
#include "stats/heterozygosity.h"
#include "stats/locus_analysis.h"

struct GenotypeRecord {
  int32_t i, j, count;  // allele indices as read, any order
};

// The table as read (k_read alleles) of the records; adds up their copies.
inline GenotypeTable table_of(int32_t k_read, const std::vector<GenotypeRecord>& records,
                              int32_t& two_n) {
  GenotypeTable table;
  table.allocate_zeroed(static_cast<size_t>(cell_count_for(k_read)));
  two_n = 0;
  for (const GenotypeRecord& r : records) {
    const int32_t lo = std::min(r.i, r.j);
    const int32_t hi = std::max(r.i, r.j);
    GenotypeCell& cell = table[tri_index(lo, hi, k_read)];
    cell.count += r.count;
    cell.allele1 = static_cast<char>(lo + 65);
    cell.allele2 = static_cast<char>(hi + 65);
    two_n += 2 * r.count;
  }
  return table;
}

// The same records through the analysis the program runs.
inline LocusAnalysis analysed_locus(int32_t k_read, const std::vector<GenotypeRecord>& records) {
  int32_t two_n = 0;
  GenotypeTable table = table_of(k_read, records, two_n);
  LocusAnalysis locus;
  analyse_locus(std::move(table), k_read, two_n, locus);
  return locus;
}

// A random sample of two_n / 2 individuals over k alleles, every allele
// present, with skewed allele frequencies; homozygote_share of the
// individuals are forced homozygous so that samples also stray from
// Hardy-Weinberg proportions.
struct McSample {
  LocusAnalysis locus;
  McWorkspace work;
};

inline McSample make_sample(int32_t k_read, const std::vector<GenotypeRecord>& records) {
  McSample s;
  s.locus = analysed_locus(k_read, records);
  if (prepare_workspace(s.work, s.locus) != WorkspaceStatus::kReady) std::abort();
  return s;
}

inline McSample make_random_sample(int32_t k, int32_t two_n, double homozygote_share,
                                   uint32_t seed) {
  std::mt19937 gen(seed);
  std::vector<int32_t> copies;
  for (int32_t a = 0; a < k; ++a) copies.push_back(a);
  std::vector<double> weights;
  for (int32_t a = 0; a < k; ++a) weights.push_back(1.0 / (1.0 + a));
  std::discrete_distribution<int32_t> pick(weights.begin(), weights.end());
  while (static_cast<int32_t>(copies.size()) < two_n) copies.push_back(pick(gen));
  std::shuffle(copies.begin(), copies.end(), gen);
  // Sorting a prefix pairs equal alleles together: forced homozygotes.
  const auto forced = static_cast<size_t>(homozygote_share * two_n) & ~size_t{1};
  std::sort(copies.begin(), copies.begin() + static_cast<std::ptrdiff_t>(forced));
  std::vector<GenotypeRecord> records;
  std::vector<int32_t> counts(static_cast<size_t>(cell_count_for(k)), 0);
  for (size_t m = 0; m + 1 < copies.size(); m += 2) {
    const int32_t lo = std::min(copies[m], copies[m + 1]);
    const int32_t hi = std::max(copies[m], copies[m + 1]);
    ++counts[static_cast<size_t>(tri_index(lo, hi, k))];
  }
  for (int32_t i = 0; i < k; ++i) {
    for (int32_t j = i; j < k; ++j) {
      const int32_t n = counts[static_cast<size_t>(tri_index(i, j, k))];
      if (n != 0) records.push_back({i, j, n});
    }
  }
  return make_sample(k, records);
}

