// Regions that tile a fileset's variants, from the .bim's index
// (bim_file.h): the regions are shared out among the chromosomes by their
// numbers of variants (each chromosome at least one), and a chromosome with
// several is cut at positions of its index marks (every 1024th line), so
// that the pieces hold about equal numbers of variants. A chromosome whose
// variants are not sorted by position, or that lies in several runs of the
// file, is one region. Positions are known, so every variant lies in exactly
// one region: a chromosome read whole is "CHR", the pieces of a cut one run
// from 1 to the position before the next cut, the last to the end.
#pragma once

#include <cstdint>
#include <vector>

#include "plink/bim_file.h"
#include "vcf/vcf_region.h"

std::vector<VcfRegion> tile_bim_regions(const BimIndex& index, uint32_t n);
