// A variant's packed .bed genotypes as the structure-robust test's codes
// (structure/genotype_codes.h): one byte per sample, the count of A1 (the
// ALT allele, as the reader exports it) or kMissingCode.
#pragma once

#include <cstddef>
#include <cstdint>

// variant: ceil(samples / 4) bytes, four samples a byte from the low bits.
void bed_site_codes(const uint8_t* variant, size_t samples, uint8_t* codes);
