// The results page of a run: one self-contained HTML file (inline SVG and
// CSS, no script, nothing fetched) that is also well-formed XML, printable,
// with a header (command line, date, version, seed) and the figures of
// page_data.h (figure.h: their sizes on screen and in print), each with a
// caption saying how to read it and its scale.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "html/figure.h"
#include "html/page_data.h"

std::string render_page(const PageData& page);
// Writes render_page(page); false when the stream failed.
bool write_page(std::ostream& out, const PageData& page);

// Every figure of the page, in page order, as its own document, named after
// what it shows and its file or population: heatmap, qq_POP, positions_POP,
// definetti_POP, residuals_FILE (the file's name without its folder and
// extension; with more than one Genepop or variant file, that name comes
// before the population: heatmap_FILE, qq_FILE_POP).
std::vector<FigureFile> figure_files(const PageData& page);
