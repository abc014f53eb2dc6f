// The results page of a run: one self-contained HTML file (inline SVG and
// CSS, no script, nothing fetched) that is also well-formed XML, printable,
// with a header (command line, date, version, seed) and the figures of
// page_data.h, each with a caption saying how to read it and its scale.
#pragma once

#include <ostream>
#include <string>

#include "html/page_data.h"

std::string render_page(const PageData& page);
// Writes render_page(page); false when the stream failed.
bool write_page(std::ostream& out, const PageData& page);
