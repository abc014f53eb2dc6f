// A PLINK 1 .bed file: the bytes 0x6c 0x1b 0x01 (SNP-major), then each
// variant's genotypes in ceil(samples / 4) bytes, 2 bits per sample, the
// first sample in the lowest bits: 00 homozygous for A1, 01 missing, 10
// heterozygous, 11 homozygous for A2. The bits after the last sample of a
// variant's last byte belong to no one.
#pragma once

#include <cstdint>
#include <string>

#include "fileio/unique_fd.h"
#include "plink/plink_failure.h"

inline constexpr uint64_t kBedHeaderBytes = 3;

struct BedFile {
  UniqueFd fd{-1};
  std::string path;
  uint64_t variant_bytes = 0;  // per variant: ceil(samples / 4)
  uint64_t variants = 0;
};

// Opens the file and checks its magic bytes, its mode and that its size is
// exactly what the samples and variants need.
PlinkFailure open_bed_file(const char* path, uint64_t samples, uint64_t variants, BedFile& bed);

// Reads the bytes of variants [first, first + count) into `to`.
PlinkFailure read_bed_variants(const BedFile& bed, uint64_t first, uint64_t count, uint8_t* to);
