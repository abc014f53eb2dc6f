// Genotype tables built directly in the state the reader leaves them: k from
// the largest allele index, each listed genotype with its count and letters.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "genotype/genotype_table.h"

struct Genotype {
  const char* letters;  // two allele characters
  int32_t count;
};

struct ReadTable {
  GenotypeTable table;
  int32_t k = 0;
  int32_t two_n = 0;
};

inline ReadTable make_read_table(const std::vector<Genotype>& genotypes) {
  ReadTable r;
  int32_t largest = 0;
  for (const Genotype& g : genotypes)
    for (int c = 0; c < 2; ++c) {
      const int32_t i = allele_index(static_cast<unsigned char>(g.letters[c]));
      if (i > largest) largest = i;
    }
  r.k = largest + 1;
  r.table.allocate_zeroed(static_cast<size_t>(cell_count_for(r.k)));
  for (const Genotype& g : genotypes) {
    int32_t i = allele_index(static_cast<unsigned char>(g.letters[0]));
    int32_t j = allele_index(static_cast<unsigned char>(g.letters[1]));
    if (i > j) std::swap(i, j);
    GenotypeCell& cell = r.table[tri_index(i, j, r.k)];
    cell.count = g.count;
    cell.allele1 = static_cast<char>(i + 65);
    cell.allele2 = static_cast<char>(j + 65);
    r.two_n += 2 * g.count;
  }
  return r;
}

// The sample file of the help screen.
inline std::vector<Genotype> sample_genotypes() {
  return {{"bc", 1}, {"aa", 10}, {"eg", 25}, {"ad", 16}, {"bd", 1}};
}

inline std::vector<Genotype> sample_genotypes_upper_case() {
  return {{"BC", 1}, {"AA", 10}, {"EG", 25}, {"AD", 16}, {"BD", 1}};
}
