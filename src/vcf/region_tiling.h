// Regions that tile a file's sites with about equal numbers of sites each,
// from its index alone: the index's record count per contig shares the
// regions out among the contigs (each contig with records gets at least
// one, so there are more than n when n is below the number of such
// contigs), and a contig with several is cut where the index puts equal
// shares of its compressed bytes. The index can only tell cuts apart at its
// windows (16 kb of positions) where records start in other places, so a
// contig gets no more regions than that: fewer than n in all when the file
// is small, whatever n. The cost is the index's, not n's.
//
// A contig read whole is "CHR"; the pieces of a cut one are FROM-TO, the
// last from FROM to the end ("CHR:FROM-"), so that every site lies in
// exactly one region at any position; the regions are written by
// format_region, names holding ':' in braces.
//
// The file must be a file (not a stream) with an index that fits it
// (vcf_file.h); an index older than its data is refused, since the regions
// would leave out what was added since.
#pragma once

#include <cstdint>
#include <vector>

#include "vcf/vcf_failure.h"
#include "vcf/vcf_region.h"

struct RegionTiling {
  VcfFailure failure;
  std::vector<VcfRegion> regions;
};

RegionTiling tile_regions(const char* path, int32_t n);

// The records the index counts in the regions (none: the whole file), for
// a progress line's time left; 0 when not known: no index, a stream, an
// index without counts, or a region that is part of a contig only.
uint64_t indexed_record_count(const char* path, const std::vector<VcfRegion>& regions);
