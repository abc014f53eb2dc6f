#include "genepop/genepop_tally.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "genotype/genotype_table.h"

namespace {

// Codes have at most three digits.
constexpr uint32_t kCodeSlots = 1000;

uint32_t genotype_key(uint16_t a, uint16_t b) {
  if (a > b) std::swap(a, b);
  return uint32_t{a} * kCodeSlots + b;
}

}  // namespace

void count_genotype(LocusCounter& counter, uint16_t a, uint16_t b) {
  if (a == 0 || b == 0) {
    ++counter.missing;
    return;
  }
  ++counter.genotypes[genotype_key(a, b)];
}

void append_population_tallies(GenepopData& data, int32_t population, const std::string& pop_name,
                               const std::vector<int32_t>& digits,
                               std::vector<LocusCounter>& counters) {
  // Copies per code, then each code's class; both indexed by code and
  // cleared again for the next locus by walking only the classes found.
  std::vector<int32_t> copies(kCodeSlots, 0);
  std::vector<int32_t> class_of(kCodeSlots, 0);
  for (size_t l = 0; l < counters.size(); ++l) {
    LocusCounter& counter = counters[l];
    GenepopTally t;
    t.population = population;
    t.locus = static_cast<int32_t>(l);
    t.pop_name = pop_name;
    t.locus_name = data.loci[l];
    t.digits = digits[l];
    t.missing = counter.missing;
    uint32_t lowest = kCodeSlots;
    uint32_t highest = 0;
    for (const auto& [key, count] : counter.genotypes) {
      const uint32_t a = key / kCodeSlots;
      const uint32_t b = key % kCodeSlots;
      t.n += count;
      copies[a] += count;
      copies[b] += count;
      lowest = std::min(lowest, a);
      highest = std::max(highest, b);
    }
    for (uint32_t code = lowest; code <= highest; ++code) {
      if (copies[code] == 0) continue;
      class_of[code] = static_cast<int32_t>(t.allele_codes.size());
      t.allele_codes.push_back(static_cast<int32_t>(code));
      t.allele_copies.push_back(copies[code]);
      copies[code] = 0;
    }
    const int32_t k = tally_k(t);
    t.genotype_counts.assign(static_cast<size_t>(cell_count_for(k)), 0);
    for (const auto& [key, count] : counter.genotypes) {
      const int32_t i = class_of[key / kCodeSlots];
      const int32_t j = class_of[key % kCodeSlots];
      t.genotype_counts[static_cast<size_t>(tri_index(i, j, k))] += count;
    }
    data.tallies.push_back(std::move(t));
    counter = LocusCounter{};
  }
}
