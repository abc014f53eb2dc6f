// Turns the allele codes of one population into one tally per locus.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "genepop/genepop_data.h"

// codes holds, individual after individual, two codes per locus (0 =
// missing); digits the code width of every locus. Appends data.loci.size()
// tallies for population number population.
void append_population_tallies(GenepopData& data, int32_t population, const std::string& pop_name,
                               const std::vector<int32_t>& digits,
                               const std::vector<uint16_t>& codes, int32_t individuals);
