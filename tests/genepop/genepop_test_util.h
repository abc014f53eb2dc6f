// Paths of the Genepop files made for the tests, and a reading of one.
#pragma once

#include <string>

#include "genepop/genepop_data.h"
#include "genepop/genepop_reader.h"

inline std::string genepop_data_path(const std::string& name) {
  return std::string(HWMC_SOURCE_DIR) + "/tests/genepop/data/" + name;
}

inline GenepopRead read_genepop_data(const std::string& name) {
  return read_genepop_file(genepop_data_path(name).c_str());
}

inline const GenepopTally& tally_at(const GenepopData& d, int32_t population, int32_t locus) {
  return d.tallies.at(static_cast<size_t>(population - 1) * d.loci.size() +
                      static_cast<size_t>(locus));
}
