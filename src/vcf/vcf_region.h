// A --region argument: CHR, or CHR:FROM-TO with 1 <= FROM <= TO, both
// inclusive. A contig name may itself hold ':'; only a last ":FROM-TO" of
// digits is read as the range.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vcf/vcf_failure.h"

struct VcfRegion {
  std::string chrom;
  int64_t from = 1;            // 1-based, inclusive
  int64_t to = INT64_MAX / 4;  // inclusive; the whole contig without a range
  bool whole = true;
};

std::optional<VcfRegion> parse_region(std::string_view text);

// "chr1:1001-2000", or "chr1" for a whole contig.
std::string format_region(const VcfRegion& r);

// Regions that tile a file's sites with about equal numbers of sites each,
// from its index alone: the index's record count per contig shares the
// regions out among the contigs (each contig with records gets at least
// one, so there are more than n when n is below the number of such
// contigs), and a contig with several is cut where the index puts equal
// shares of its compressed bytes. A contig read whole is "CHR"; the last
// piece of a cut contig ends at 2147483647. Every site lies in exactly one
// region.
struct RegionTiling {
  VcfFailure failure;
  std::vector<VcfRegion> regions;
};

RegionTiling tile_regions(const char* path, int32_t n);
