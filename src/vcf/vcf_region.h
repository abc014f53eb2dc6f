// A --region argument, in the forms bcftools and tabix take:
//   CHR               the whole contig
//   CHR:POS           the one position POS
//   CHR:FROM-TO       FROM to TO, both inclusive, 1 <= FROM <= TO
//   CHR:FROM-         FROM to the end of the contig
//   CHR:-TO           the start of the contig to TO
// Numbers may group their digits with commas (1,000,000); a number too
// large for any position stands for the end of the contig. A contig name
// may itself hold ':' and '-': a last ":RANGE" that reads as one of the
// forms above is taken for the range, and a name in braces is taken whole
// ("{chrUn:1-5}", "{chrUn:1-5}:1-100"). Text with a range and no braces
// may also be a contig's name ("HLA-A*01:01"): the reader takes it for the
// name when the file has that contig and not the other (resolve_region).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Past every position a file can hold (htslib's are below 2^62).
inline constexpr int64_t kRegionEnd = INT64_MAX / 4;

struct VcfRegion {
  std::string chrom;
  int64_t from = 1;         // 1-based, inclusive
  int64_t to = kRegionEnd;  // inclusive; kRegionEnd: the end of the contig
  bool whole = true;
  std::string whole_name;  // the whole text, when it may also name a contig
};

std::optional<VcfRegion> parse_region(std::string_view text);

// "chr1:1001-2000", "chr1:1001-" (to the end), "chr1" for a whole contig;
// a name holding ':' (or starting with '{') in braces, so that the text
// reads back as the same region by parse_region, bcftools and tabix.
std::string format_region(const VcfRegion& r);

// Which of the readings of r the file's contigs allow (has_contig tells
// whether the file knows a name): false when both do, and r is ambiguous.
template <class HasContig>
bool resolve_region(VcfRegion& r, HasContig has_contig) {
  if (r.whole_name.empty() || !has_contig(r.whole_name)) return true;
  if (has_contig(r.chrom)) return false;
  VcfRegion name;
  name.chrom = r.whole_name;
  r = name;
  return true;
}

// The regions with those of one contig that overlap or touch joined, so
// that no position is in two of them: each contig's regions in order of
// position, the contigs in the order of their first region.
std::vector<VcfRegion> merge_regions(const std::vector<VcfRegion>& regions);
