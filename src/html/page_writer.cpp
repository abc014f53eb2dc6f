#include "html/page_writer.h"

#include <algorithm>

#include "html/colour_scale.h"
#include "html/heat_map.h"
#include "html/residual_triangle.h"
#include "html/site_plots.h"
#include "html/svg_number.h"
#include "html/text_escape.h"

namespace {

constexpr const char* kStyle =
    "body{font:14px/1.4 sans-serif;color:#222;margin:1.5em;max-width:1400px}"
    "h1{font-size:1.4em;margin:0 0 .4em}h2{font-size:1.2em;margin:1.2em 0 .4em;border-bottom:1px solid #ccc}"
    "h3{font-size:1em;margin:.8em 0 .3em}"
    "dl{display:grid;grid-template-columns:max-content auto;gap:.1em 1em;margin:0}dt{color:#555}dd{margin:0;"
    "font-family:monospace;overflow-wrap:anywhere}"
    // A caption as wide as its picture: the figure is a table, the caption
    // its caption.
    "figure{display:inline-table;vertical-align:top;margin:0 1.2em 1.2em 0}"
    "figcaption{display:table-caption;caption-side:bottom;font-size:12px;color:#444}"
    "svg{display:block}svg text{font:11px sans-serif;fill:#222}svg .small{font-size:9px}"
    ".frame{fill:none;stroke:#444}.ax{stroke:#444}.pts{fill:none;stroke-width:3;stroke-linecap:round}"
    ".band{fill:#ddd;stroke:none}.ref{stroke:#777;fill:none}.dash{stroke-dasharray:4 3}"
    ".tri{fill:#fafafa;stroke:#444}.hw{fill:none;stroke:#222;stroke-width:1.5}"
    ".cell,.res{stroke:#fff;stroke-width:.5}.note{color:#8e0c1f}"
    "@media print{body{margin:0;font-size:11px;max-width:none}figure{break-inside:avoid}"
    "h2,h3{break-after:avoid}.pts{stroke-width:2}}";

void append_header(std::string& out, const PageHeader& h) {
  out += "<header><h1>hwmc: tests of Hardy-Weinberg proportions</h1><dl>";
  const std::pair<const char*, const std::string*> facts[] = {
      {"command line", &h.command_line}, {"date", &h.date}, {"version", &h.version}, {"seed", &h.seed}};
  for (const auto& [name, value] : facts) {
    out += "<dt>";
    out += name;
    out += "</dt><dd>";
    append_markup(out, *value);
    out += "</dd>";
  }
  out += "</dl></header>\n";
}

void append_heading(std::string& out, const char* level, std::string_view text) {
  out += '<';
  out += level;
  out += '>';
  append_markup(out, text);
  out += "</";
  out += level;
  out += ">\n";
}

}  // namespace

std::string render_page(const PageData& page) {
  std::string out;
  out += "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\"><head>"
         "<meta charset=\"utf-8\"/><title>hwmc results</title><style>";
  out += kStyle;
  out += "</style></head><body>\n";
  append_header(out, page.header);
  int id = 0;
  if (!page.genepop.empty()) {
    out += "<section class=\"genepop\">";
    append_heading(out, "h2", "Genepop files");
    for (const HeatMapData& map : page.genepop) {
      append_heading(out, "h3", map.file);
      append_heat_map(out, map, page.summaries, ++id);
    }
    out += "</section>\n";
  }
  if (!page.vcf.empty()) {
    out += "<section class=\"vcf\">";
    append_heading(out, "h2", "VCF files");
    for (const SiteGroup& g : page.vcf) {
      append_heading(out, "h3", g.file + ", population " + g.population);
      if (sites_seen(g.sites) == 0) out += "<p>No site with a p-value.</p>";
      append_qq_plot(out, g);
      append_position_plot(out, g);
      append_de_finetti_plot(out, g);
      for (const StoredSummary& s : page.summaries)
        if (s.file == g.file && s.scope == PageScope::kPopulation && s.name == g.population)
          out += "<p>Over its " + std::to_string(sites_seen(g.sites)) + " sites: f_is " +
                 figure(s.f_is) + ".</p>";
      if (g.na_sites > 0)
        out += "<p>" + std::to_string(g.na_sites) + " NA site" + (g.na_sites == 1 ? "" : "s") +
               " (no p-value) left out of the plots.</p>";
    }
    out += "</section>\n";
  }
  if (!page.count_files.empty()) {
    out += "<section class=\"counts\">";
    append_heading(out, "h2", "Count files");
    const double top = scale_top(largest_residual(page.count_files), 2, 1e9);
    for (const CountFileFigures& f : page.count_files) append_residual_triangle(out, f, top, ++id);
    if (page.count_files_left_out > 0)
      out += "<p class=\"note\">The first " + std::to_string(page.count_files.size()) +
             " count files are drawn; " + std::to_string(page.count_files_left_out) +
             " more are in the rows only.</p>";
    out += "</section>\n";
  }
  if (page.genepop.empty() && page.vcf.empty() && page.count_files.empty())
    out += "<p>No units to draw.</p>\n";
  out += "</body></html>\n";
  return out;
}

bool write_page(std::ostream& out, const PageData& page) {
  const std::string text = render_page(page);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.flush();
  return static_cast<bool>(out);
}
