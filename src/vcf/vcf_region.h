// A --region argument: CHR, or CHR:FROM-TO with 1 <= FROM <= TO, both
// inclusive. A contig name may itself hold ':'; only a last ":FROM-TO" of
// digits is read as the range.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct VcfRegion {
  std::string chrom;
  int64_t from = 1;            // 1-based, inclusive
  int64_t to = INT64_MAX / 4;  // inclusive; the whole contig without a range
  bool whole = true;
};

std::optional<VcfRegion> parse_region(std::string_view text);

// "chr1:1001-2000", or "chr1" for a whole contig.
std::string format_region(const VcfRegion& r);
