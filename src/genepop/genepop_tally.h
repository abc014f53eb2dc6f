// The genotypes of one population, counted as its individuals are read, and
// turned into one tally per locus when the population ends. Memory follows
// the distinct genotypes met, not the number of individuals.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "genepop/genepop_data.h"

struct LocusCounter {
  std::unordered_map<uint32_t, int32_t> genotypes;  // by the pair of codes, lower first
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
