#include "html/heat_map.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "html/colour_scale.h"
#include "html/site_thinning.h"
#include "html/svg_figure.h"
#include "html/svg_number.h"
#include "html/text_width.h"

namespace {

// Cells are kCell units square, less down to kSmallestCell when that keeps
// the map within two columns; kSmallestCell still holds a label a row.
constexpr double kCell = 16;
constexpr double kSmallestCell = 13;
constexpr double kBarSpace = 60;  // the length of a summary bar at the top of the scale
constexpr double kMaxPopulationLabel = 200;
constexpr double kMaxLocusLabel = 150;
constexpr double kPad = 4;
// The scale of the legend.
constexpr double kScaleLeft = 12;
constexpr double kScaleWidth = 260;
constexpr double kScaleHeight = 12;
constexpr double kLineStep = 14;
// The q (or p) from which a cell shows its direction.
constexpr double kMarkedBelow = 0.05;

std::string population_label(const PopulationLabel& p) {
  std::string s = std::to_string(p.number);
  if (!p.name.empty()) s += " " + p.name;
  return s;
}

std::string cell_tooltip(const HeatMapData& map, const HeatCell& c) {
  return "population " + population_label(map.populations[c.population]) + ", locus " +
         map.loci[c.locus] + ": k " + std::to_string(c.k) + ", n " + std::to_string(c.n) +
         ", p " + figure(c.p) + ", q_bh " + figure(c.q_bh) + ", f_is " + figure(c.f_is) +
         ", d " + figure(c.d) + u_tests_text(c.p_u_deficit, c.p_u_excess, "");
}

std::string summary_tooltip(const StoredSummary& s, std::string_view what) {
  return std::string(what) + ": p_fisher " + figure(s.p_fisher) + ", q_bh " + figure(s.q_bh) +
         ", f_is " + figure(s.f_is) +
         u_tests_text(s.p_u_deficit_global, s.p_u_excess_global, "_global");
}

struct Bars {
  std::vector<const StoredSummary*> by_locus, by_population;
  const StoredSummary* whole_file = nullptr;
  bool any = false;
};

Bars summary_bars(const HeatMapData& map, std::span<const StoredSummary> summaries) {
  Bars b;
  b.by_locus.assign(map.loci.size(), nullptr);
  b.by_population.assign(map.populations.size(), nullptr);
  for (const StoredSummary& s : summaries) {
    if (s.file != map.file) continue;
    if (s.scope == PageScope::kFile) {
      b.whole_file = &s;
      continue;
    }
    if (s.scope == PageScope::kLocus) {
      for (size_t i = 0; i < map.loci.size(); ++i)
        if (map.loci[i] == s.name) b.by_locus[i] = &s, b.any = true;
    } else {
      for (size_t i = 0; i < map.populations.size(); ++i)
        if (std::to_string(map.populations[i].number) == s.name) b.by_population[i] = &s, b.any = true;
    }
  }
  return b;
}

double bar_length(const StoredSummary& s) {
  const double v = minus_log10(s.q_bh);
  if (std::isnan(v)) return 0;
  return kBarSpace * std::min(v, kStrengthTop) / kStrengthTop;
}

// Where the heat map's parts go.
struct Layout {
  double cell = kCell;
  double left = 0, head = 0;  // the map's top left corner
  double map_w = 0, map_h = 0;
  double legend_y = 0;
  double width = 0, height = 0;
};

Layout layout_of(const HeatMapData& map, bool bars) {
  Layout l;
  double widest_population = 0, widest_locus = 0;
  for (const auto& p : map.populations)
    widest_population = std::max(widest_population, text_width(population_label(p)));
  for (const auto& name : map.loci) widest_locus = std::max(widest_locus, text_width(name));
  l.left = kPad + std::min(widest_population, kMaxPopulationLabel) + kPad;
  l.head = kPad + std::min(widest_locus, kMaxLocusLabel) + kPad;
  const double loci = static_cast<double>(map.loci.size());
  const double bar_w = bars ? kBarSpace + 2 * kPad : 0;
  const double room = kTwoColumns - l.left - bar_w - kPad;
  if (loci * l.cell > room) l.cell = std::max(kSmallestCell, room / loci);
  l.map_w = l.cell * loci;
  l.map_h = l.cell * static_cast<double>(map.populations.size());
  l.legend_y = l.head + l.map_h + (bars ? kBarSpace + 2 * kPad : 0) + 2 * kPad;
  l.width = std::max(l.left + l.map_w + bar_w + kPad, kOneColumn);
  return l;
}

// A "-" or "+" of half the arm `a` centred at (x, y), added to `d`.
void append_direction(std::string& d, Direction direction, double x, double y, double a) {
  d += 'M' + coord(x - a) + ' ' + coord(y) + 'h' + coord(2 * a);
  if (direction == Direction::kExcess) d += 'M' + coord(x) + ' ' + coord(y - a) + 'v' + coord(2 * a);
}

// Dark ink on the light end of the scale, white on the dark end.
bool dark_ink_on(Rgb fill) { return relative_luminance(fill) > 0.3; }

// Title, scale, its two rows of numbers, the keys, and the bars' line.
double legend_height(bool with_bars) {
  return kLineStep + 2 + kScaleHeight + 3 + 2 * kLineStep + kPad + kScaleHeight + kPad +
         (with_bars ? kAscent + kDescent + kPad + 2 : 0);
}

void append_legend(std::string& out, const Layout& l, const std::string& id, std::string_view what,
                   bool with_bars) {
  double y = l.legend_y;
  append_text(out, kPad, y + kAscent,
              "colour: \xE2\x88\x92log10 " + std::string(what) + " (above) and " + std::string(what) + " (below)",
              "start");
  y += kLineStep + 2;
  append_rect(out, kScaleLeft, y, kScaleWidth, kScaleHeight, {}, "url(#" + id + "-s)");
  y += kScaleHeight;
  std::string ticks;
  for (const ScaleTick& t : kStrengthTicks) {
    const double tx = kScaleLeft + kScaleWidth * t.value / kStrengthTop;
    ticks += 'M' + coord(tx) + ' ' + coord(y) + "v3";
    append_text(out, tx, y + 3 + kAscent, t.label, "middle");
    append_text(out, tx, y + 3 + kAscent + kLineStep, t.q_label, "middle");
  }
  out += "<path class=\"ax\" d=\"" + ticks + "\"/>";
  y += 3 + 2 * kLineStep + kPad;
  // The keys: NA, and the two directions on a cell of the strong end.
  double kx = kPad;
  append_rect(out, kx, y, kScaleHeight, kScaleHeight, {}, "url(#" + id + "-h)");
  append_text(out, kx + kScaleHeight + kPad, y + kScaleHeight - 1, "NA", "start");
  kx += kScaleHeight + 2 * kPad + text_width("NA") + 3 * kPad;
  const Rgb strong = strength_colour(3);
  const std::string ink = dark_ink_on(strong) ? "#111" : "#fff";
  for (Direction d : {Direction::kDeficit, Direction::kExcess}) {
    append_rect(out, kx, y, kScaleHeight, kScaleHeight, {}, css(strong));
    std::string glyph;
    append_direction(glyph, d, kx + kScaleHeight / 2, y + kScaleHeight / 2, kScaleHeight * 0.28);
    out += "<path class=\"dir\" stroke=\"" + ink + "\" d=\"" + glyph + "\"/>";
    const std::string label = d == Direction::kDeficit ? "deficit" : "excess";
    append_text(out, kx + kScaleHeight + kPad, y + kScaleHeight - 1, label, "start");
    kx += kScaleHeight + 2 * kPad + text_width(label) + 3 * kPad;
  }
  if (with_bars)
    append_text(out, kPad, y + kScaleHeight + kPad + kAscent,
                "bars: combined tests, same scale, full length at \xE2\x89\xA5" "5", "start");
}

}  // namespace

Figure heat_map_figure(const HeatMapData& map, std::span<const StoredSummary> summaries,
                       const std::string& id) {
  const Bars bars = summary_bars(map, summaries);
  bool by_q = false;
  for (const HeatCell& c : map.cells) by_q = by_q || !std::isnan(c.q_bh);
  const std::string what = by_q ? "q_bh" : "p";

  Layout l = layout_of(map, bars.any);
  l.height = l.legend_y + legend_height(bars.any) + kPad;

  Figure f;
  f.id = id;
  f.title = "heat map of " + map.file;
  f.width = l.width;
  f.height = l.height;
  std::string& out = f.body;
  out += "<defs>";
  append_hatch_pattern(out, id + "-h");
  append_gradient(out, id + "-s", strength_stops());
  out += "</defs>";

  const double centre = (kAscent - kDescent) / 2;  // from a text's baseline to its middle
  for (size_t i = 0; i < map.populations.size(); ++i)
    append_text(out, l.left - kPad, l.head + l.cell * (static_cast<double>(i) + 0.5) + centre,
                population_label(map.populations[i]), "end", {}, kMaxPopulationLabel);
  for (size_t j = 0; j < map.loci.size(); ++j) {
    const double x = l.left + l.cell * (static_cast<double>(j) + 0.5) + centre;
    const double y = l.head - kPad;
    append_text(out, x, y, map.loci[j], "start",
                "transform=\"rotate(-90 " + coord(x) + ' ' + coord(y) + ")\"", kMaxLocusLabel);
  }
  const std::string hatch = "url(#" + id + "-h)";
  std::string marks[2];  // dark ink, white ink
  for (const HeatCell& c : map.cells) {
    const double x = l.left + l.cell * c.locus, y = l.head + l.cell * c.population;
    const double value = by_q ? c.q_bh : c.p;
    if (std::isnan(value)) {
      append_rect(out, x, y, l.cell, l.cell, "cell na", hatch, cell_tooltip(map, c));
      continue;
    }
    const Rgb fill = strength_colour(minus_log10(value));
    append_rect(out, x, y, l.cell, l.cell, "cell", css(fill), cell_tooltip(map, c));
    const Direction d = direction_of(c.f_is, c.d);
    if (value < kMarkedBelow && d != Direction::kNone)
      append_direction(marks[dark_ink_on(fill) ? 0 : 1], d, x + l.cell / 2, y + l.cell / 2, l.cell * 0.22);
  }
  if (!marks[0].empty()) out += "<path class=\"dir\" stroke=\"#111\" d=\"" + marks[0] + "\"/>";
  if (!marks[1].empty()) out += "<path class=\"dir\" stroke=\"#fff\" d=\"" + marks[1] + "\"/>";
  if (bars.any) {
    for (size_t j = 0; j < bars.by_locus.size(); ++j) {
      const StoredSummary* s = bars.by_locus[j];
      if (!s) continue;
      append_rect(out, l.left + l.cell * static_cast<double>(j) + 2, l.head + l.map_h + kPad, l.cell - 4,
                  bar_length(*s), "bar", css(hue_of(direction_of(s->f_is, kNoValue))),
                  summary_tooltip(*s, "locus " + map.loci[j] + " over its populations"));
    }
    for (size_t i = 0; i < bars.by_population.size(); ++i) {
      const StoredSummary* s = bars.by_population[i];
      if (!s) continue;
      append_rect(out, l.left + l.map_w + kPad, l.head + l.cell * static_cast<double>(i) + 2,
                  bar_length(*s), l.cell - 4, "bar", css(hue_of(direction_of(s->f_is, kNoValue))),
                  summary_tooltip(*s, "population " + population_label(map.populations[i]) +
                                          " over its loci"));
    }
  }
  append_legend(out, l, id, what, bars.any);

  f.caption = "Rows populations, columns loci; colour: -log10 " + what +
              " on the fixed scale of every page, from 0 (pale yellow) through 1.3 (" + what +
              " 0.05), 2 (0.01) and 3 (0.001) to 5 or more (dark violet); a cell with " + what +
              " < 0.05 is marked - for a heterozygote deficit (f_is > 0, or d < 0 without f_is) "
              "or + for an excess; hatched cells NA; hover a cell for its figures.";
  if (bars.any)
    f.caption += " Bars below (loci) and right (populations): -log10 q_bh of Fisher's combination "
                 "over the scope on the same scale (full length at 5 or more), red where its f_is "
                 "is above 0 (deficit), blue below.";
  if (bars.whole_file) f.caption += " Whole file: " + summary_tooltip(*bars.whole_file, "combined") + ".";

  f.table.summary = "The figures of the " + std::to_string(map.cells.size()) + " cells";
  f.table.header = {"population", "locus", "k", "n", "p", "q_bh", "f_is", "d"};
  for (const HeatCell& c : map.cells)
    f.table.rows.push_back({population_label(map.populations[c.population]), map.loci[c.locus],
                            std::to_string(c.k), std::to_string(c.n), figure(c.p), figure(c.q_bh),
                            figure(c.f_is), figure(c.d)});
  return f;
}
