#include "html/heat_map.h"

#include <algorithm>
#include <cmath>

#include "html/colour_scale.h"
#include "html/svg_figure.h"
#include "html/svg_number.h"

namespace {

constexpr double kCell = 16;
constexpr double kBarSpace = 70;  // the length of the longest summary bar
constexpr double kCharWidth = 6.5;

std::string population_label(const PopulationLabel& p) {
  std::string s = std::to_string(p.number);
  if (!p.name.empty()) s += " " + p.name;
  return s;
}

std::string cell_tooltip(const HeatMapData& map, const HeatCell& c) {
  return "population " + population_label(map.populations[c.population]) + ", locus " +
         map.loci[c.locus] + ": k " + std::to_string(c.k) + ", n " + std::to_string(c.n) +
         ", p " + figure(c.p) + ", q_bh " + figure(c.q_bh) + ", f_is " + figure(c.f_is) +
         ", d " + figure(c.d);
}

std::string summary_tooltip(const StoredSummary& s, std::string_view what) {
  return std::string(what) + ": p_fisher " + figure(s.p_fisher) + ", q_bh " + figure(s.q_bh) +
         ", f_is " + figure(s.f_is);
}

struct Bars {
  std::vector<const StoredSummary*> by_locus, by_population;
  const StoredSummary* whole_file = nullptr;
  double top = 2;  // of the bars' -log10 q_bh scale
  bool any = false;
};

Bars summary_bars(const HeatMapData& map, std::span<const StoredSummary> summaries) {
  Bars b;
  b.by_locus.assign(map.loci.size(), nullptr);
  b.by_population.assign(map.populations.size(), nullptr);
  double largest = 0;
  for (const StoredSummary& s : summaries) {
    if (s.file != map.file) continue;
    if (s.scope == PageScope::kFile) {
      b.whole_file = &s;
      continue;
    }
    bool placed = false;
    if (s.scope == PageScope::kLocus) {
      for (size_t i = 0; i < map.loci.size(); ++i)
        if (map.loci[i] == s.name) b.by_locus[i] = &s, placed = true;
    } else {
      for (size_t i = 0; i < map.populations.size(); ++i)
        if (std::to_string(map.populations[i].number) == s.name) b.by_population[i] = &s, placed = true;
    }
    if (!placed) continue;
    b.any = true;
    const double v = minus_log10(s.q_bh);
    if (std::isfinite(v)) largest = std::max(largest, v);
  }
  b.top = scale_top(largest, 2, 300);
  return b;
}

double bar_length(const StoredSummary& s, double top) {
  const double v = minus_log10(s.q_bh);
  if (std::isnan(v)) return 0;
  return kBarSpace * std::min(v, top) / top;
}

void append_legend(std::string& out, double x, double y, double top, int id, bool with_bars,
                   double bar_top) {
  int stop = 0;
  for (Direction d : {Direction::kDeficit, Direction::kExcess}) {
    const double x0 = x + stop * 170;
    append_text(out, x0, y + 10, d == Direction::kDeficit ? "deficit" : "excess", "start");
    append_rect(out, x0 + 46, y, 100, 12, {}, "url(#g" + std::to_string(id) + (stop ? "e" : "d") + ")");
    append_text(out, x0 + 46, y + 24, "0", "middle");
    append_text(out, x0 + 146, y + 24, figure(top) + "+", "middle");
    ++stop;
  }
  append_rect(out, x + 340, y, 12, 12, {}, "url(#h" + std::to_string(id) + ")");
  append_text(out, x + 356, y + 10, "NA", "start");
  if (with_bars)
    append_text(out, x, y + 40, "bars: -log10 q_bh of the combined test, full length " +
                                    figure(bar_top) + " or more", "start");
}

}  // namespace

void append_heat_map(std::string& out, const HeatMapData& map,
                     std::span<const StoredSummary> summaries, int id) {
  const Bars bars = summary_bars(map, summaries);
  double largest = 0;
  for (const HeatCell& c : map.cells) {
    const double v = minus_log10(c.q_bh);
    if (std::isfinite(v)) largest = std::max(largest, v);
  }
  const double top = scale_top(largest, 2, 300);

  size_t longest_pop = 1, longest_locus = 1;
  for (const auto& p : map.populations) longest_pop = std::max(longest_pop, population_label(p).size());
  for (const auto& l : map.loci) longest_locus = std::max(longest_locus, l.size());
  const double left = 8 + std::min(160.0, kCharWidth * static_cast<double>(longest_pop));
  const double head = 10 + std::min(120.0, kCharWidth * 0.72 * static_cast<double>(longest_locus));
  const double map_w = kCell * static_cast<double>(map.loci.size());
  const double map_h = kCell * static_cast<double>(map.populations.size());
  const double bar_w = bars.any ? kBarSpace + 12 : 0;
  const double legend_y = head + map_h + (bars.any ? kBarSpace + 16 : 12);
  const double width = std::max(left + map_w + bar_w + 10, 400.0);
  const double height = legend_y + (bars.any ? 50 : 34);

  open_figure(out, width, height, "heat map of " + map.file);
  const std::string ids = std::to_string(id);
  out += "<defs><pattern id=\"h" + ids +
         "\" width=\"5\" height=\"5\" patternUnits=\"userSpaceOnUse\" "
         "patternTransform=\"rotate(45)\"><rect width=\"5\" height=\"5\" fill=\"#fff\"/>"
         "<path d=\"M0 0v5\" stroke=\"#888\" stroke-width=\"2\"/></pattern>";
  for (Direction d : {Direction::kDeficit, Direction::kExcess})
    out += "<linearGradient id=\"g" + ids + (d == Direction::kDeficit ? "d" : "e") +
           "\"><stop offset=\"0\" stop-color=\"#ffffff\"/><stop offset=\"1\" stop-color=\"" +
           css(hue_of(d)) + "\"/></linearGradient>";
  out += "</defs>";

  for (size_t i = 0; i < map.populations.size(); ++i)
    append_text(out, left - 4, head + kCell * static_cast<double>(i) + 12,
                population_label(map.populations[i]), "end");
  for (size_t j = 0; j < map.loci.size(); ++j) {
    const double x = left + kCell * static_cast<double>(j) + 11;
    std::string rotate = "transform=\"rotate(-45 " + coord(x) + ' ' + coord(head - 4) + ")\"";
    append_text(out, x, head - 4, map.loci[j], "start", rotate);
  }
  const std::string hatch = "url(#h" + ids + ")";
  for (const HeatCell& c : map.cells) {
    const double x = left + kCell * c.locus, y = head + kCell * c.population;
    if (std::isnan(c.p))
      append_rect(out, x, y, kCell, kCell, "cell na", hatch, cell_tooltip(map, c));
    else
      append_rect(out, x, y, kCell, kCell, "cell",
                  css(strength_colour(minus_log10(c.q_bh), top, direction_of(c.f_is, c.d))),
                  cell_tooltip(map, c));
  }
  if (bars.any) {
    for (size_t j = 0; j < bars.by_locus.size(); ++j) {
      const StoredSummary* s = bars.by_locus[j];
      if (!s) continue;
      append_rect(out, left + kCell * static_cast<double>(j) + 2, head + map_h + 4, kCell - 4,
                  bar_length(*s, bars.top), "bar",
                  css(hue_of(direction_of(s->f_is, kNoValue))),
                  summary_tooltip(*s, "locus " + map.loci[j] + " over its populations"));
    }
    for (size_t i = 0; i < bars.by_population.size(); ++i) {
      const StoredSummary* s = bars.by_population[i];
      if (!s) continue;
      append_rect(out, left + map_w + 4, head + kCell * static_cast<double>(i) + 2,
                  bar_length(*s, bars.top), kCell - 4, "bar",
                  css(hue_of(direction_of(s->f_is, kNoValue))),
                  summary_tooltip(*s, "population " + population_label(map.populations[i]) +
                                          " over its loci"));
    }
  }
  append_legend(out, 8, legend_y, top, id, bars.any, bars.top);

  std::string caption = "Rows populations, columns loci; colour -log10 q_bh from 0 (white) to " +
                        figure(top) +
                        " or more (full colour), red a heterozygote deficit (f_is > 0, or d < 0 "
                        "without f_is), blue an excess; hatched cells NA; hover a cell for its figures.";
  if (bars.any)
    caption += " Bars below (loci) and right (populations): -log10 q_bh of Fisher's combination "
               "over the scope, coloured by the direction of its f_is.";
  if (bars.whole_file)
    caption += " Whole file: " + summary_tooltip(*bars.whole_file, "combined") + ".";
  close_figure(out, caption);
}
