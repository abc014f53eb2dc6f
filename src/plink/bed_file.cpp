#include "plink/bed_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>

#include "fileio/fd_io.h"

namespace {

std::string size_sum(uint64_t samples, uint64_t variants, uint64_t variant_bytes) {
  return std::to_string(samples) + " samples (.fam) and " + std::to_string(variants) +
         " variants (.bim) take 3 + " + std::to_string(variant_bytes) + " x " +
         std::to_string(variants) + " = " +
         std::to_string(kBedHeaderBytes + variant_bytes * variants) + " bytes";
}

}  // namespace

PlinkFailure open_bed_file(const char* path, uint64_t samples, uint64_t variants, BedFile& bed) {
  bed.path = path;
  bed.variant_bytes = (samples + 3) / 4;
  bed.variants = variants;
  bed.fd.close_now();
  bed.fd.fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (!bed.fd.is_open())
    return plink_failure(PlinkStatus::kCannotOpen, path, 0, "cannot open the .bed file");
  struct stat info;
  if (::fstat(bed.fd.fd, &info) != 0)
    return plink_failure(PlinkStatus::kCannotOpen, path, 0, "cannot read the .bed file");
  const uint64_t size = static_cast<uint64_t>(info.st_size);
  unsigned char head[3] = {0, 0, 0};
  const size_t head_bytes = size < 3 ? static_cast<size_t>(size) : 3;
  if (!read_exact_at(bed.fd.fd, head, head_bytes, 0))
    return plink_failure(PlinkStatus::kCannotOpen, path, 0, "cannot read the .bed file");
  const unsigned char magic[3] = {0x6c, 0x1b, 0x01};
  for (size_t i = 0; i < head_bytes && i < 2; ++i)
    if (head[i] != magic[i])
      return plink_failure(PlinkStatus::kNotBed, path, 0,
                           "not a PLINK .bed file: it does not start with the bytes 0x6c 0x1b");
  if (head_bytes < 3)
    return plink_failure(PlinkStatus::kBadBedSize, path, 0,
                         "truncated: " + std::to_string(size) + (size == 1 ? " byte" : " bytes") +
                             ", not even the 3-byte header");
  if (head[2] == 0x00)
    return plink_failure(PlinkStatus::kIndividualMajor, path, 0,
                         "an individual-major .bed file (an early PLINK layout), which is not "
                         "read: plink1.9 --bfile PREFIX --make-bed --out NEW writes it SNP-major");
  if (head[2] != 0x01) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02x", head[2]);
    return plink_failure(
        PlinkStatus::kNotBed, path, 0,
        std::string("not a PLINK .bed file: the mode byte is ") + hex + ", not 0x01 (SNP-major)");
  }
  const uint64_t expected = kBedHeaderBytes + bed.variant_bytes * variants;
  if (size < expected) {
    const uint64_t whole = bed.variant_bytes ? (size - kBedHeaderBytes) / bed.variant_bytes : 0;
    return plink_failure(PlinkStatus::kBadBedSize, path, 0,
                         "truncated: " + std::to_string(size) + " bytes hold " +
                             std::to_string(whole) + " of the variants, but " +
                             size_sum(samples, variants, bed.variant_bytes));
  }
  if (size > expected)
    return plink_failure(PlinkStatus::kBadBedSize, path, 0,
                         std::to_string(size) + " bytes, but " +
                             size_sum(samples, variants, bed.variant_bytes) +
                             ": the .bed does not go with this .bim and .fam");
  ::posix_fadvise(bed.fd.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return {};
}

PlinkFailure read_bed_variants(const BedFile& bed, uint64_t first, uint64_t count, uint8_t* to) {
  const uint64_t offset = kBedHeaderBytes + first * bed.variant_bytes;
  if (first + count > bed.variants ||
      !read_exact_at(bed.fd.fd, to, count * bed.variant_bytes, static_cast<off_t>(offset)))
    return plink_failure(
        PlinkStatus::kBadBedSize, bed.path, 0,
        "cannot read variant " + std::to_string(first + 1) +
            " and after: the file is unreadable or was cut short while it was read");
  return {};
}
