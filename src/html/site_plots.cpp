#include "html/site_plots.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "html/colour_scale.h"
#include "html/qq_band.h"
#include "html/svg_figure.h"
#include "html/svg_number.h"
#include "html/text_width.h"

namespace {

constexpr const char* kPointColour = "#2b3a55";
constexpr const char* kChromColours[2] = {"#2b3a55", "#8a9bb8"};
constexpr const char* kClassNames[kQClasses] = {"q_bh \xE2\x89\xA5 0.05 or NA", "q_bh < 0.05", "q_bh < 0.01",
                                                "q_bh < 0.001"};
constexpr double kPad = 4;

// Grey for the weakest class; the others in the heat map's colour of the
// middle of their range of -log10 q_bh: 1.3 to 2, 2 to 3, 3 to 5 and more.
constexpr double kClassMiddles[kQClasses] = {0, 1.65, 2.5, 4};
std::string class_colour(int c) { return c == 0 ? "#a6a6a6" : css(strength_colour(kClassMiddles[c])); }

std::string ordinal(int64_t m) {
  if (m == 1) return "every one";
  const int64_t last = m % 10, tens = m % 100;
  const char* suffix = (tens >= 11 && tens <= 13) ? "th" : last == 1 ? "st" : last == 2 ? "nd" : last == 3 ? "rd" : "th";
  return "every " + std::to_string(m) + suffix;
}

// -log10 p for a plot: p = 0 (beyond double precision) at the top edge.
double plotted(double p, double top) { return std::min(minus_log10(p), top); }

double largest_finite(const ThinnedSites& s) {
  double m = 0;
  for (const auto* v : {&s.strong, &s.weak})
    for (const SitePoint& p : *v) {
      const double x = minus_log10(p.p);
      if (std::isfinite(x)) m = std::max(m, x);
    }
  return m;
}

bool any_zero(const ThinnedSites& s) {
  for (const auto* v : {&s.strong, &s.weak})
    for (const SitePoint& p : *v)
      if (p.p <= 0) return true;
  return false;
}

std::string zero_note(const ThinnedSites& s) {
  return any_zero(s) ? " Sites with p = 0 (below double precision) sit on the top edge." : "";
}

void append_band(std::string& out, const PlotFrame& f, const std::vector<BandPoint>& band) {
  if (band.empty()) return;
  out += "<path class=\"band\" d=\"";
  for (size_t i = 0; i < band.size(); ++i) {
    out += i == 0 ? 'M' : 'L';
    out += coord(x_at(f, band[i].expected)) + ' ' + coord(y_at(f, std::min(band[i].high, f.y_max)));
  }
  for (size_t i = band.size(); i-- > 0;)
    out += 'L' + coord(x_at(f, band[i].expected)) + ' ' + coord(y_at(f, std::min(band[i].low, f.y_max)));
  out += "Z\"/>";
}

void append_hline(std::string& out, const PlotFrame& f, double y, std::string_view cls) {
  out += "<path class=\"";
  out += cls;
  out += "\" d=\"M" + coord(f.left) + ' ' + coord(y_at(f, y)) + 'H' + coord(f.left + f.width) + "\"/>";
}

// Smallest p first; ties by chromosome name and position, so that the
// order depends on the sites alone, not on the order they came in.
struct Stronger {
  const std::vector<ChromSpan>& chroms;
  bool operator()(const SitePoint& a, const SitePoint& b) const {
    if (a.p != b.p) return a.p < b.p;
    if (a.chrom != b.chrom) return chroms[a.chrom].name < chroms[b.chrom].name;
    return a.pos < b.pos;
  }
};

// The titled sites: the kTitledSites strongest (all strong ones first).
std::vector<SitePoint> titled_sites(const SiteGroup& g) {
  const ThinnedSites& s = g.sites;
  std::vector<SitePoint> top(s.strong);
  if (top.size() < kTitledSites) top.insert(top.end(), s.weak.begin(), s.weak.end());
  const size_t n = std::min(top.size(), kTitledSites);
  std::partial_sort(top.begin(), top.begin() + static_cast<std::ptrdiff_t>(n), top.end(), Stronger{g.chroms});
  top.resize(n);
  return top;
}

bool is_titled(const SiteGroup& g, const std::vector<SitePoint>& titled, const SitePoint& p) {
  return !titled.empty() && !Stronger{g.chroms}(titled.back(), p);
}

std::string genotypes_text(const SitePoint& p) {
  if (p.genotypes[0] < 0) return "NA";
  return std::to_string(p.genotypes[0]) + "/" + std::to_string(p.genotypes[1]) + "/" +
         std::to_string(p.genotypes[2]);
}

std::string site_tooltip(const SiteGroup& g, const SitePoint& p) {
  return g.chroms[p.chrom].name + ":" + std::to_string(p.pos) + ", p " + figure(p.p) + ", q_bh " +
         figure(p.q_bh) + ", AA/AB/BB " + genotypes_text(p);
}

void append_titled_point(std::string& out, const SiteGroup& g, const SitePoint& p, std::string_view colour,
                         double x, double y) {
  std::string d;
  append_point(d, x, y);
  append_points_path(out, colour, d, {}, site_tooltip(g, p));
}

}  // namespace

std::string thinning_note(const ThinnedSites& s) {
  std::string note = "all " + std::to_string(s.strong.size()) + " sites with -log10 p >= 2 and ";
  if (s.stride == 1) return note + "all " + std::to_string(s.weak_seen) + " others";
  return note + std::to_string(s.weak.size()) + " of the " + std::to_string(s.weak_seen) +
         " others (" + ordinal(s.stride) + ", at most " + std::to_string(s.cap) + ")";
}

int q_class(double q_bh) {
  if (std::isnan(q_bh) || q_bh >= 0.05) return 0;
  if (q_bh >= 0.01) return 1;
  if (q_bh >= 0.001) return 2;
  return 3;
}

std::optional<Figure> qq_figure(const SiteGroup& g, const std::string& id) {
  const ThinnedSites& s = g.sites;
  const int64_t n = sites_seen(s);
  if (n == 0) return std::nullopt;
  std::vector<SitePoint> strong(s.strong), weak(s.weak);
  std::sort(strong.begin(), strong.end(), Stronger{g.chroms});
  std::sort(weak.begin(), weak.end(), Stronger{g.chroms});
  const std::vector<SitePoint> titled = titled_sites(g);

  const std::vector<BandPoint> band = qq_band(n, 60);
  double band_high = 0;
  for (const BandPoint& b : band) band_high = std::max(band_high, b.high);
  PlotFrame f;
  f.x_max = axis_top(-std::log10(1.0 / (static_cast<double>(n) + 1)));
  f.y_max = axis_top(std::max({largest_finite(s), band_high, f.x_max}));
  f.left = y_axis_room(f.y_max) + kPad;
  f.top = 12;
  f.width = kOneColumn - f.left - x_axis_right_room(f.x_max) - kPad;
  f.height = 236;

  Figure fig;
  fig.id = id;
  fig.title = "quantile-quantile plot, " + g.population;
  fig.width = kOneColumn;
  fig.height = f.top + f.height + kXAxisRoom + kPad;
  std::string& out = fig.body;
  append_band(out, f, band);
  const double diagonal = std::min(f.x_max, f.y_max);
  out += "<path class=\"ref\" d=\"M" + coord(x_at(f, 0)) + ' ' + coord(y_at(f, 0)) + 'L' +
         coord(x_at(f, diagonal)) + ' ' + coord(y_at(f, diagonal)) + "\"/>";
  std::string d, marks;
  const double nn = static_cast<double>(n) + 1;
  auto place = [&](const SitePoint& p, double rank) {
    const double x = x_at(f, -std::log10(rank / nn)), y = y_at(f, plotted(p.p, f.y_max));
    if (is_titled(g, titled, p)) {
      append_titled_point(marks, g, p, kPointColour, x, y);
    } else {
      append_point(d, x, y);
    }
  };
  for (size_t i = 0; i < strong.size(); ++i) place(strong[i], static_cast<double>(i + 1));
  // A kept weak site stands for `stride` sites: it takes the middle rank of
  // its block (its exact rank when nothing was thinned).
  const double block = static_cast<double>(s.weak_seen) / static_cast<double>(std::max<size_t>(weak.size(), 1));
  for (size_t j = 0; j < weak.size(); ++j)
    place(weak[j], static_cast<double>(strong.size()) + (static_cast<double>(j) + 1) * block - (block - 1) / 2);
  append_points_path(out, kPointColour, d);
  out += marks;
  append_axes(out, f, "expected \xE2\x88\x92log10 p", "observed \xE2\x88\x92log10 p", true);
  fig.caption = "Quantile-quantile plot of the " + std::to_string(n) +
                " sites with a p: observed -log10 p against its expectation if every site "
                "were in Hardy-Weinberg proportions; grey band: where 95% of each ordered "
                "p-value falls under that null (beta quantiles); points above it depart. "
                "Drawn: " + thinning_note(s) + "." + zero_note(s);
  fig.table.summary = "The " + std::to_string(titled.size()) + " sites with the smallest p";
  fig.table.header = {"site", "p", "q_bh", "AA/AB/BB"};
  for (const SitePoint& p : titled)
    fig.table.rows.push_back({g.chroms[p.chrom].name + ":" + std::to_string(p.pos), figure(p.p),
                              figure(p.q_bh), genotypes_text(p)});
  return fig;
}

std::optional<Figure> position_figure(const SiteGroup& g, const std::string& id) {
  const ThinnedSites& s = g.sites;
  if (sites_seen(s) == 0 || g.chroms.empty()) return std::nullopt;
  // Chromosomes side by side, each as long as the span of its sites, with a
  // gap of 1% of the whole between them.
  std::vector<double> offset(g.chroms.size());
  double total = 0;
  for (const ChromSpan& c : g.chroms) total += static_cast<double>(c.last - c.first + 1);
  const double gap = total * 0.01;
  double at = 0;
  for (size_t i = 0; i < g.chroms.size(); ++i) {
    offset[i] = at;
    at += static_cast<double>(g.chroms[i].last - g.chroms[i].first + 1) + gap;
  }
  const std::vector<SitePoint> titled = titled_sites(g);
  PlotFrame f;
  f.x_max = std::max(at - gap, 1.0);
  f.y_max = axis_top(std::max(2.5, largest_finite(s)));
  f.left = y_axis_room(f.y_max) + kPad;
  f.top = 12;
  f.width = kTwoColumns - f.left - 2 * kPad;
  f.height = 230;

  Figure fig;
  fig.id = id;
  fig.title = "-log10 p along the chromosomes, " + g.population;
  fig.width = kTwoColumns;
  fig.height = f.top + f.height + kXAxisRoom + kPad;
  std::string& out = fig.body;
  append_hline(out, f, kStrongSite, "ref dash");
  std::string d[2], marks;
  for (const auto* v : {&s.strong, &s.weak})
    for (const SitePoint& p : *v) {
      const double x = x_at(f, offset[p.chrom] + static_cast<double>(p.pos - g.chroms[p.chrom].first) + 0.5);
      const double y = y_at(f, plotted(p.p, f.y_max));
      if (is_titled(g, titled, p)) {
        append_titled_point(marks, g, p, kChromColours[p.chrom % 2], x, y);
      } else {
        append_point(d[p.chrom % 2], x, y);
      }
    }
  append_points_path(out, kChromColours[0], d[0]);
  append_points_path(out, kChromColours[1], d[1]);
  out += marks;
  for (size_t i = 0; i < g.chroms.size(); ++i) {
    const double x0 = x_at(f, offset[i]);
    const double x1 = x_at(f, offset[i] + static_cast<double>(g.chroms[i].last - g.chroms[i].first + 1));
    // A name too long for its span is shortened; one whose span cannot
    // hold a letter and "…" is left out (the tooltips name it).
    if (x1 - x0 >= 24)
      append_text(out, (x0 + x1) / 2, f.top + f.height + 4 + kAscent, g.chroms[i].name, "middle", {},
                  x1 - x0 - 4);
  }
  append_axes(out, f, "position (chromosomes in order of appearance)", "\xE2\x88\x92log10 p", false);
  fig.caption = "-log10 p of each site along its chromosome (" + std::to_string(g.chroms.size()) +
                " chromosome" + (g.chroms.size() == 1 ? "" : "s") +
                " side by side, each as long as the span of its sites, in alternating "
                "colours); every site above the dashed line (-log10 p = 2) is drawn. Drawn: " +
                thinning_note(s) + "." + zero_note(s);
  return fig;
}

std::optional<Figure> de_finetti_figure(const SiteGroup& g, const std::string& id) {
  std::string d[kQClasses], marks;
  int64_t drawn = 0, biallelic_strong = 0;
  constexpr double kSide = 250, kLeft = (kOneColumn - kSide) / 2, kApex = 20;
  const double height = kSide * std::sqrt(3.0) / 2;
  const double base = kApex + height;
  auto x_of = [&](double ab, double bb) { return kLeft + kSide * (bb + ab / 2); };
  auto y_of = [&](double ab) { return base - height * ab; };
  const std::vector<SitePoint> titled = titled_sites(g);
  for (const auto* v : {&g.sites.strong, &g.sites.weak})
    for (const SitePoint& p : *v) {
      const auto& gt = p.genotypes;
      const double n = static_cast<double>(gt[0]) + gt[1] + gt[2];
      if (gt[0] < 0 || n <= 0) continue;
      const int c = q_class(p.q_bh);
      const double x = x_of(gt[1] / n, gt[2] / n), y = y_of(gt[1] / n);
      if (is_titled(g, titled, p)) {
        append_titled_point(marks, g, p, class_colour(c), x, y);
      } else {
        append_point(d[c], x, y);
      }
      ++drawn;
      if (v == &g.sites.strong) ++biallelic_strong;
    }
  if (drawn == 0) return std::nullopt;

  const double legend_y = base + kPad + kAscent + kDescent + 2 * kPad;
  Figure fig;
  fig.id = id;
  fig.title = "de Finetti diagram, " + g.population;
  fig.width = kOneColumn;
  fig.height = legend_y + 2 * 16 + kPad;
  std::string& out = fig.body;
  out += "<path class=\"tri\" d=\"M" + coord(kLeft) + ' ' + coord(base) + 'H' + coord(kLeft + kSide) +
         'L' + coord(kLeft + kSide / 2) + ' ' + coord(base - height) + "Z\"/>";
  std::string curve = "<path class=\"hw\" d=\"";
  for (int i = 0; i <= 60; ++i) {
    const double q = i / 60.0;
    curve += i == 0 ? 'M' : 'L';
    curve += coord(x_of(2 * q * (1 - q), q * q)) + ' ' + coord(y_of(2 * q * (1 - q)));
  }
  out += curve + "\"/>";
  for (int c = 0; c < kQClasses; ++c) append_points_path(out, class_colour(c), d[c]);
  out += marks;
  append_text(out, kLeft, base + kPad + kAscent, "AA", "middle");
  append_text(out, kLeft + kSide, base + kPad + kAscent, "BB", "middle");
  append_text(out, kLeft + kSide / 2, base - height - 6, "AB", "middle");
  for (int c = 0; c < kQClasses; ++c) {
    const double x = kPad + 6 + (c % 2) * (kOneColumn / 2), y = legend_y + 16 * (c / 2) + kAscent;
    append_point(curve = {}, x, y - 4);
    append_points_path(out, class_colour(c), curve, "key");
    append_text(out, x + 10, y, kClassNames[c], "start");
  }
  fig.caption = "De Finetti diagram of the " + std::to_string(drawn) + " biallelic sites drawn (" +
                std::to_string(biallelic_strong) +
                " of them with -log10 p >= 2; the others thinned as in the other plots): "
                "each site at its genotype frequencies (a corner is all of that genotype, "
                "the height the heterozygote frequency); curve: Hardy-Weinberg proportions, "
                "below it a heterozygote deficit, above it an excess; colour: q_bh class, "
                "as the heat map colours -log10 q_bh 1.65, 2.5 and 4.";
  return fig;
}
