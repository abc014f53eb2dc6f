// The heat map of one Genepop file: populations as rows, loci as columns,
// each cell coloured by -log10 of its q_bh (white at 0, the full hue at the
// top of the map's scale and above) in the hue of its direction, NA units
// hatched, every cell with its figures as a tooltip. The file's locus and
// population summaries, when the run made them, stand beside the map as bars.
#pragma once

#include <span>
#include <string>

#include "html/page_data.h"

// `id` makes the map's pattern and gradient names unique on the page.
void append_heat_map(std::string& out, const HeatMapData& map,
                     std::span<const StoredSummary> summaries, int id);
