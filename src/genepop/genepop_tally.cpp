#include "genepop/genepop_tally.h"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "genotype/genotype_table.h"

namespace {

// Codes have at most three digits.
constexpr uint32_t kCodeSlots = 1000;

uint32_t genotype_key(uint16_t a, uint16_t b) {
  if (a > b) std::swap(a, b);
  return uint32_t{a} * kCodeSlots + b;
}

size_t first_slot(uint32_t key, size_t mask) {
  return static_cast<size_t>((key * 2654435761u) >> 7) & mask;
}

GenotypeSlot& slot_for(std::vector<GenotypeSlot>& slots, uint32_t key) {
  const size_t mask = slots.size() - 1;
  size_t i = first_slot(key, mask);
  while (slots[i].key != 0 && slots[i].key != key) i = (i + 1) & mask;
  return slots[i];
}

void grow(LocusCounter& counter) {
  std::vector<GenotypeSlot> old = std::move(counter.slots);
  counter.slots.assign(old.empty() ? 16 : 2 * old.size(), GenotypeSlot{});
  for (const GenotypeSlot& s : old) {
    if (s.key != 0) slot_for(counter.slots, s.key) = s;
  }
}

}  // namespace

void count_genotype(LocusCounter& counter, uint16_t a, uint16_t b) {
  if (a == 0 || b == 0) {
    ++counter.missing;
    return;
  }
  if (2 * (counter.used + 1) > counter.slots.size()) grow(counter);
  GenotypeSlot& slot = slot_for(counter.slots, genotype_key(a, b));
  if (slot.key == 0) {
    slot.key = genotype_key(a, b);
    ++counter.used;
  }
  ++slot.count;
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
    for (const GenotypeSlot& s : counter.slots) {
      if (s.key == 0) continue;
      const uint32_t a = s.key / kCodeSlots;
      const uint32_t b = s.key % kCodeSlots;
      t.n += s.count;
      copies[a] += s.count;
      copies[b] += s.count;
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
    for (const GenotypeSlot& s : counter.slots) {
      if (s.key == 0) continue;
      const int32_t i = class_of[s.key / kCodeSlots];
      const int32_t j = class_of[s.key % kCodeSlots];
      t.genotype_counts[static_cast<size_t>(tri_index(i, j, k))] += s.count;
    }
    data.tallies.push_back(std::move(t));
    // Kept for the next population, which likely meets the same genotypes.
    std::fill(counter.slots.begin(), counter.slots.end(), GenotypeSlot{});
    counter.used = 0;
    counter.missing = 0;
  }
}
