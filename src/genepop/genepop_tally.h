// The genotypes of one population, counted as its individuals are read, and
// turned into one tally per locus when the population ends. Memory follows
// the distinct genotypes met, not the number of individuals.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "genepop/genepop_data.h"

// Open addressing on the pair of codes (lower first; 0 marks a free slot):
// a locus holds a few genotypes, met again and again.
struct GenotypeSlot {
  uint32_t key = 0;
  int32_t count = 0;
};

struct LocusCounter {
  std::vector<GenotypeSlot> slots;  // a power of two, at most half used
  size_t used = 0;
  int32_t missing = 0;  // individuals lacking one or both alleles
};

// One individual's genotype at a locus; a code 0 is missing.
void count_genotype(LocusCounter& counter, uint16_t a, uint16_t b);

// Appends one tally per locus (counters holds one counter per locus of
// data.loci, digits their code widths) for population number population,
// and empties the counters for the next population.
void append_population_tallies(GenepopData& data, int32_t population, const std::string& pop_name,
                               const std::vector<int32_t>& digits,
                               std::vector<LocusCounter>& counters);
