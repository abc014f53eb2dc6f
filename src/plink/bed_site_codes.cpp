#include "plink/bed_site_codes.h"

#include <array>
#include <cstring>

#include "plink/genotype_codes.h"
#include "structure/genotype_codes.h"

namespace {

// A .bed byte's four samples, each code as its A1 count.
std::array<std::array<uint8_t, 4>, 256> make_byte_codes() {
  std::array<uint8_t, 4> of_code{};
  of_code[kBedHomA1] = 2;
  of_code[kBedMissing] = kMissingCode;
  of_code[kBedHet] = 1;
  of_code[kBedHomA2] = 0;
  std::array<std::array<uint8_t, 4>, 256> table{};
  for (size_t b = 0; b < 256; ++b)
    for (size_t k = 0; k < 4; ++k) table[b][k] = of_code[(b >> (2 * k)) & 3];
  return table;
}

}  // namespace

void bed_site_codes(const uint8_t* variant, size_t samples, uint8_t* codes) {
  static const std::array<std::array<uint8_t, 4>, 256> table = make_byte_codes();
  const size_t whole = samples / 4;
  for (size_t b = 0; b < whole; ++b) std::memcpy(codes + 4 * b, table[variant[b]].data(), 4);
  for (size_t i = 4 * whole; i < samples; ++i) codes[i] = table[variant[whole]][i - 4 * whole];
}
