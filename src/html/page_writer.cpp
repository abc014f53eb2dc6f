#include "html/page_writer.h"

#include <optional>

#include "html/figure.h"
#include "html/figure_files.h"
#include "html/heat_map.h"
#include "html/residual_triangle.h"
#include "html/site_plots.h"
#include "html/svg_number.h"
#include "html/text_escape.h"
#include "html/text_width.h"

namespace {

constexpr const char* kStyle =
    "body{font:14px/1.4 'DejaVu Sans','Bitstream Vera Sans',sans-serif;color:#222;margin:1.5em;"
    "max-width:1400px}"
    "h1{font-size:1.4em;margin:0 0 .4em}h2{font-size:1.2em;margin:1.2em 0 .4em;border-bottom:1px solid #ccc}"
    "h3{font-size:1em;margin:.8em 0 .3em}"
    "dl{display:grid;grid-template-columns:max-content auto;gap:.1em 1em;margin:0}dt{color:#555}dd{margin:0;"
    "font-family:monospace;overflow-wrap:anywhere}"
    // A caption as wide as its picture: the figure is a table, the caption
    // its caption.
    "figure{display:inline-table;vertical-align:top;margin:0 1.2em 1.2em 0}"
    "figcaption{display:table-caption;caption-side:bottom;font-size:13px;color:#444}"
    "svg{display:block;max-width:100%;height:auto}"
    "details{margin-top:.3em}summary{cursor:pointer;color:#225}"
    "table{border-collapse:collapse;font-size:12px;margin:.3em 0}th,td{padding:0 .6em;text-align:left}"
    "thead th{border-bottom:1px solid #999}td{font-variant-numeric:tabular-nums}"
    ".note{color:#8e0c1f}.wide{overflow-x:auto}.wide svg{max-width:none}"
    "@media print{body{margin:0;font-size:11px;max-width:none}figure{break-inside:avoid}"
    "figcaption{font-size:9pt}details{display:none}.wide{overflow:visible}"
    "h2,h3{break-after:avoid}.pts{stroke-width:2}.key{stroke-width:6}svg.c1{width:85mm}"
    // Wider than two columns: as wide as a page holds, its text under 8 pt
    // (its standalone document keeps 8 pt).
    "svg.c2,svg.c3{width:180mm}}";

struct Block {
  enum class Kind { kSection, kHeading, kText, kNote, kFigure } kind;
  std::string text;  // a section's class, a heading's or paragraph's text
  Figure figure;
};

// A file's name without its folder and its extension (and ".gz" or ".bgz"
// before that): "data/chr20.vcf.gz" -> "chr20".
std::string file_stem(const std::string& path) {
  std::string s = path.substr(path.find_last_of('/') + 1);
  for (int round = 0; round < 2; ++round) {
    const size_t dot = s.find_last_of('.');
    if (dot == std::string::npos || dot == 0) break;
    const std::string extension = s.substr(dot);
    s.resize(dot);
    if (extension != ".gz" && extension != ".bgz") break;
  }
  return s;
}

std::vector<Block> page_blocks(const PageData& page) {
  std::vector<Block> blocks;
  int id = 0;
  auto add = [&](Block::Kind kind, std::string text) { blocks.push_back({kind, std::move(text), {}}); };
  auto add_figure = [&](std::optional<Figure> f, std::string name) {
    if (!f) return;
    f->name = std::move(name);
    blocks.push_back({Block::Kind::kFigure, {}, std::move(*f)});
  };
  auto next_id = [&] { return std::string("f").append(std::to_string(++id)); };
  if (!page.genepop.empty()) {
    add(Block::Kind::kSection, "genepop");
    add(Block::Kind::kHeading, "Genepop files");
    for (const HeatMapData& map : page.genepop) {
      add(Block::Kind::kHeading, map.file);
      add_figure(heat_map_figure(map, page.summaries, next_id()),
                 page.genepop.size() == 1 ? "heatmap" : "heatmap_" + file_stem(map.file));
    }
  }
  if (!page.vcf.empty()) {
    add(Block::Kind::kSection, "vcf");
    add(Block::Kind::kHeading, "VCF files");
    bool several_files = false;
    for (const SiteGroup& g : page.vcf) several_files = several_files || g.file != page.vcf.front().file;
    for (const SiteGroup& g : page.vcf) {
      add(Block::Kind::kHeading, g.file + ", population " + g.population);
      if (sites_seen(g.sites) == 0) add(Block::Kind::kText, "No site with a p-value.");
      std::string of;
      if (several_files) of.append("_").append(file_stem(g.file));
      if (!g.population.empty()) of.append("_").append(g.population);
      // The two one-column plots side by side, then the two-column one.
      add_figure(qq_figure(g, next_id()), "qq" + of);
      add_figure(de_finetti_figure(g, next_id()), "definetti" + of);
      add_figure(position_figure(g, next_id()), "positions" + of);
      for (const StoredSummary& s : page.summaries)
        if (s.file == g.file && s.scope == PageScope::kPopulation && s.name == g.population)
          add(Block::Kind::kText, "Over its " + std::to_string(sites_seen(g.sites)) + " sites: f_is " +
                                      figure(s.f_is) + ".");
      if (g.na_sites > 0)
        add(Block::Kind::kText, std::to_string(g.na_sites) + " NA site" + (g.na_sites == 1 ? "" : "s") +
                                    " (no p-value) left out of the plots.");
    }
  }
  if (!page.count_files.empty()) {
    add(Block::Kind::kSection, "counts");
    add(Block::Kind::kHeading, "Count files");
    for (const CountFileFigures& f : page.count_files)
      add_figure(residual_triangle_figure(f, next_id()), "residuals_" + file_stem(f.file));
    if (page.count_files_left_out > 0)
      add(Block::Kind::kNote, "The first " + std::to_string(page.count_files.size()) +
                                  " count files are drawn; " + std::to_string(page.count_files_left_out) +
                                  " more are in the rows only.");
  }
  return blocks;
}

void append_header(std::string& out, const PageHeader& h, const std::string& structure) {
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
  if (!structure.empty()) {
    out += "<dt>population structure</dt><dd>";
    append_markup(out, structure);
    out += "</dd>";
  }
  out += "</dl></header>\n";
}

void append_element(std::string& out, const char* tag, std::string_view attributes, std::string_view text) {
  out += '<';
  out += tag;
  out += attributes;
  out += '>';
  append_markup(out, text);
  out += "</";
  out += tag;
  out += ">\n";
}

}  // namespace

std::string render_page(const PageData& page) {
  const std::vector<Block> blocks = page_blocks(page);
  std::string out;
  out += "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\"><head>"
         "<meta charset=\"utf-8\"/><title>hwmc results</title><style>";
  // The figures' own rules first: the page's print rules come after them.
  out += kFigureStyle;
  out += kStyle;
  out += "</style></head><body>\n";
  append_header(out, page.header, page.structure);
  out += "<main>\n";
  bool in_section = false;
  bool section_heading = false;
  for (const Block& b : blocks) {
    switch (b.kind) {
      case Block::Kind::kSection:
        if (in_section) out += "</section>\n";
        out += "<section class=\"" + b.text + "\">";
        in_section = section_heading = true;
        break;
      case Block::Kind::kHeading:
        append_element(out, section_heading ? "h2" : "h3", {}, b.text);
        section_heading = false;
        break;
      case Block::Kind::kText: append_element(out, "p", {}, b.text); break;
      case Block::Kind::kNote: append_element(out, "p", " class=\"note\"", b.text); break;
      case Block::Kind::kFigure: append_inline_figure(out, b.figure); break;
    }
  }
  if (in_section) out += "</section>\n";
  if (blocks.empty()) out += "<p>No units to draw.</p>\n";
  out += "</main></body></html>\n";
  return out;
}

bool write_page(std::ostream& out, const PageData& page) {
  const std::string text = render_page(page);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.flush();
  return static_cast<bool>(out);
}

std::vector<FigureFile> figure_files(const PageData& page) {
  std::vector<Block> blocks = page_blocks(page);
  std::vector<std::string> stems;
  for (const Block& b : blocks)
    if (b.kind == Block::Kind::kFigure) stems.push_back(b.figure.name);
  const std::vector<std::string> names = safe_file_names(stems, ".svg");
  std::vector<FigureFile> files;
  size_t i = 0;
  for (const Block& b : blocks)
    if (b.kind == Block::Kind::kFigure) files.push_back({names[i++], standalone_svg(b.figure)});
  return files;
}
