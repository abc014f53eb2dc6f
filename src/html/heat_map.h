// The heat map of one Genepop file: populations as rows, loci as columns,
// each cell coloured by -log10 of its q_bh (of its p where no unit of the
// file has a q_bh) on the page's fixed strength scale, a "-" (heterozygote
// deficit) or "+" (excess) on every cell with q < 0.05, NA units hatched,
// every cell with its figures as a tooltip and in the figure's table. The
// file's locus and population summaries, when the run made them, stand
// beside the map as bars on the same fixed scale. The labels' margins are
// measured from the longest label; a population label longer than 200
// units (30 letters or so; a locus 150) is shortened with "…", its whole text
// its <title>.
#pragma once

#include <span>
#include <string>

#include "html/figure.h"
#include "html/page_data.h"

Figure heat_map_figure(const HeatMapData& map, std::span<const StoredSummary> summaries,
                       const std::string& id);
