#include "sites/site_key.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

#include "exact/rng64.h"

uint64_t hash_key_field(uint64_t h, std::string_view field) {
  h = splitmix64_mix(h ^ field.size());
  size_t i = 0;
  // Whole words as one load where the bytes are laid out as the shifts
  // below put them (the first byte lowest).
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= field.size(); i += 8) {
      uint64_t w;
      std::memcpy(&w, field.data() + i, 8);
      h = splitmix64_mix(h ^ w);
    }
  }
  for (; i < field.size(); i += 8) {
    uint64_t w = 0;
    for (size_t b = 0; b < 8 && i + b < field.size(); ++b)
      w |= static_cast<uint64_t>(static_cast<unsigned char>(field[i + b])) << (8 * b);
    h = splitmix64_mix(h ^ w);
  }
  return h;
}

uint64_t site_unit_key(std::string_view chrom, int64_t pos, std::string_view ref,
                       std::string_view alt, std::string_view population, uint32_t occurrence) {
  uint64_t h = 0;
  h = hash_key_field(h, chrom);
  h = hash_key_field(h, std::to_string(pos));
  h = hash_key_field(h, ref);
  h = hash_key_field(h, alt);
  h = hash_key_field(h, population);
  return hash_key_field(h, std::to_string(occurrence));
}

uint32_t note_occurrence(IdenticalRecords& seen, std::string_view chrom, int64_t pos,
                         std::string_view ref, std::string_view alt, uint64_t& prefix) {
  prefix = hash_key_field(0, chrom);
  prefix = hash_key_field(prefix, std::to_string(pos));
  prefix = hash_key_field(prefix, ref);
  prefix = hash_key_field(prefix, alt);
  if (pos != seen.pos || chrom != seen.chrom) {
    seen.chrom.assign(chrom);
    seen.pos = pos;
    seen.prefixes.clear();
  }
  const uint32_t occurrence =
      1 + static_cast<uint32_t>(std::count(seen.prefixes.begin(), seen.prefixes.end(), prefix));
  seen.prefixes.push_back(prefix);
  return occurrence;
}
