// Regions that tile a file's sites with about equal numbers of sites each,
// from its index alone: the index's record count per contig shares the
// regions out among the contigs (each contig with records gets at least
// one, so there are more than n when n is below the number of such
// contigs), and a contig with several is cut where the index puts equal
// shares of its compressed bytes. A contig read whole is "CHR"; the last
// piece of a cut contig ends at 2147483647. Every site lies in exactly one
// region.
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
