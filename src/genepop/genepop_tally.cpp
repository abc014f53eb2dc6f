#include "genepop/genepop_tally.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "genotype/genotype_table.h"

namespace {

// Codes have at most three digits.
constexpr size_t kCodeSlots = 1000;

}  // namespace

void append_population_tallies(GenepopData& data, int32_t population, const std::string& pop_name,
                               const std::vector<int32_t>& digits,
                               const std::vector<uint16_t>& codes, int32_t individuals) {
  const size_t loci = data.loci.size();
  const size_t stride = 2 * loci;
  // Copies per code, then each code's class; both indexed by code and
  // cleared again for the next locus by walking only the classes found.
  std::vector<int32_t> copies(kCodeSlots, 0);
  std::vector<int32_t> class_of(kCodeSlots, 0);
  for (size_t l = 0; l < loci; ++l) {
    GenepopTally t;
    t.population = population;
    t.locus = static_cast<int32_t>(l);
    t.pop_name = pop_name;
    t.locus_name = data.loci[l];
    t.digits = digits[l];
    size_t lowest = kCodeSlots;
    size_t highest = 0;
    for (int32_t ind = 0; ind < individuals; ++ind) {
      const uint16_t a = codes[static_cast<size_t>(ind) * stride + 2 * l];
      const uint16_t b = codes[static_cast<size_t>(ind) * stride + 2 * l + 1];
      if (a == 0 || b == 0) {
        ++t.missing;
        continue;
      }
      ++t.n;
      ++copies[a];
      ++copies[b];
      lowest = std::min<size_t>(lowest, std::min(a, b));
      highest = std::max<size_t>(highest, std::max(a, b));
    }
    for (size_t code = lowest; code <= highest; ++code) {
      if (copies[code] == 0) continue;
      class_of[code] = static_cast<int32_t>(t.allele_codes.size());
      t.allele_codes.push_back(static_cast<int32_t>(code));
      t.allele_copies.push_back(copies[code]);
      copies[code] = 0;
    }
    const int32_t k = tally_k(t);
    t.genotype_counts.assign(static_cast<size_t>(cell_count_for(k)), 0);
    for (int32_t ind = 0; ind < individuals; ++ind) {
      const uint16_t a = codes[static_cast<size_t>(ind) * stride + 2 * l];
      const uint16_t b = codes[static_cast<size_t>(ind) * stride + 2 * l + 1];
      if (a == 0 || b == 0) continue;
      int32_t i = class_of[a];
      int32_t j = class_of[b];
      if (i > j) std::swap(i, j);
      ++t.genotype_counts[static_cast<size_t>(tri_index(i, j, k))];
    }
    data.tallies.push_back(std::move(t));
  }
}
