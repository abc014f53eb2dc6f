#include "html/site_plots.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "html/qq_band.h"
#include "html/svg_figure.h"
#include "html/svg_number.h"

namespace {

constexpr const char* kPointColour = "#2b3a55";
constexpr const char* kChromColours[2] = {"#2b3a55", "#8a9bb8"};
constexpr const char* kClassColours[kQClasses] = {"#a6a6a6", "#f4a582", "#d6604d", "#8e0c1f"};
constexpr const char* kClassNames[kQClasses] = {"q_bh >= 0.05", "q_bh < 0.05", "q_bh < 0.01",
                                                "q_bh < 0.001"};

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

void append_qq_plot(std::string& out, const SiteGroup& g) {
  const ThinnedSites& s = g.sites;
  const int64_t n = sites_seen(s);
  if (n == 0) return;
  std::vector<double> strong, weak;
  for (const SitePoint& p : s.strong) strong.push_back(p.p);
  for (const SitePoint& p : s.weak) weak.push_back(p.p);
  std::sort(strong.begin(), strong.end());
  std::sort(weak.begin(), weak.end());

  const std::vector<BandPoint> band = qq_band(n, 60);
  double band_high = 0;
  for (const BandPoint& b : band) band_high = std::max(band_high, b.high);
  PlotFrame f{56, 12, 280, 240, 1, 1};
  f.x_max = axis_top(-std::log10(1.0 / (static_cast<double>(n) + 1)));
  f.y_max = axis_top(std::max({largest_finite(s), band_high, f.x_max}));

  open_figure(out, 350, 300, "quantile-quantile plot, " + g.population);
  append_band(out, f, band);
  const double diagonal = std::min(f.x_max, f.y_max);
  out += "<path class=\"ref\" d=\"M" + coord(x_at(f, 0)) + ' ' + coord(y_at(f, 0)) + 'L' +
         coord(x_at(f, diagonal)) + ' ' + coord(y_at(f, diagonal)) + "\"/>";
  std::string d;
  const double nn = static_cast<double>(n) + 1;
  for (size_t i = 0; i < strong.size(); ++i)
    append_point(d, x_at(f, -std::log10(static_cast<double>(i + 1) / nn)),
                 y_at(f, plotted(strong[i], f.y_max)));
  // A kept weak site stands for `stride` sites: it takes the middle rank of
  // its block (its exact rank when nothing was thinned).
  const double block = static_cast<double>(s.weak_seen) / static_cast<double>(std::max<size_t>(weak.size(), 1));
  for (size_t j = 0; j < weak.size(); ++j) {
    const double rank = static_cast<double>(strong.size()) + (static_cast<double>(j) + 1) * block - (block - 1) / 2;
    append_point(d, x_at(f, -std::log10(rank / nn)), y_at(f, plotted(weak[j], f.y_max)));
  }
  append_points_path(out, kPointColour, d);
  append_axes(out, f, "expected -log10 p", "observed -log10 p", true);
  close_figure(out, "Quantile-quantile plot of the " + std::to_string(n) +
                        " sites with a p: observed -log10 p against its expectation if every site "
                        "were in Hardy-Weinberg proportions; grey band: where 95% of each ordered "
                        "p-value falls under that null (beta quantiles); points above it depart. "
                        "Drawn: " + thinning_note(s) + "." + zero_note(s));
}

void append_position_plot(std::string& out, const SiteGroup& g) {
  const ThinnedSites& s = g.sites;
  if (sites_seen(s) == 0 || g.chroms.empty()) return;
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
  PlotFrame f{56, 12, 640, 200, std::max(at - gap, 1.0), 1};
  f.y_max = axis_top(std::max(2.5, largest_finite(s)));

  open_figure(out, 710, 260, "-log10 p along the chromosomes, " + g.population);
  append_hline(out, f, kStrongSite, "ref dash");
  std::string d[2];
  for (const auto* v : {&s.strong, &s.weak})
    for (const SitePoint& p : *v) {
      const double x = offset[p.chrom] + static_cast<double>(p.pos - g.chroms[p.chrom].first) + 0.5;
      append_point(d[p.chrom % 2], x_at(f, x), y_at(f, plotted(p.p, f.y_max)));
    }
  append_points_path(out, kChromColours[0], d[0]);
  append_points_path(out, kChromColours[1], d[1]);
  for (size_t i = 0; i < g.chroms.size(); ++i) {
    const double x0 = x_at(f, offset[i]);
    const double x1 = x_at(f, offset[i] + static_cast<double>(g.chroms[i].last - g.chroms[i].first + 1));
    const std::string& name = g.chroms[i].name;
    if (x1 - x0 >= 6.5 * static_cast<double>(name.size()) + 4)
      append_text(out, (x0 + x1) / 2, f.top + f.height + 14, name, "middle");
  }
  append_axes(out, f, "position (chromosomes in order of appearance)", "-log10 p", false);
  close_figure(out, "-log10 p of each site along its chromosome (" + std::to_string(g.chroms.size()) +
                        " chromosome" + (g.chroms.size() == 1 ? "" : "s") +
                        " side by side, each as long as the span of its sites, in alternating "
                        "colours); every site above the dashed line (-log10 p = 2) is drawn. Drawn: " +
                        thinning_note(s) + "." + zero_note(s));
}

void append_de_finetti_plot(std::string& out, const SiteGroup& g) {
  std::string d[kQClasses];
  int64_t drawn = 0, biallelic_strong = 0;
  constexpr double kLeft = 20, kSide = 300;
  const double height = kSide * std::sqrt(3.0) / 2;
  const double base = 20 + height;
  auto x_of = [&](double ab, double bb) { return kLeft + kSide * (bb + ab / 2); };
  auto y_of = [&](double ab) { return base - height * ab; };
  for (const auto* v : {&g.sites.strong, &g.sites.weak})
    for (const SitePoint& p : *v) {
      const auto& gt = p.genotypes;
      const double n = static_cast<double>(gt[0]) + gt[1] + gt[2];
      if (gt[0] < 0 || n <= 0) continue;
      append_point(d[q_class(p.q_bh)], x_of(gt[1] / n, gt[2] / n), y_of(gt[1] / n));
      ++drawn;
      if (v == &g.sites.strong) ++biallelic_strong;
    }
  if (drawn == 0) return;

  open_figure(out, 460, base + 24, "de Finetti diagram, " + g.population);
  out += "<path class=\"tri\" d=\"M" + coord(kLeft) + ' ' + coord(base) + 'H' + coord(kLeft + kSide) +
         'L' + coord(kLeft + kSide / 2) + ' ' + coord(base - height) + "Z\"/>";
  std::string curve = "<path class=\"hw\" d=\"";
  for (int i = 0; i <= 60; ++i) {
    const double q = i / 60.0;
    curve += i == 0 ? 'M' : 'L';
    curve += coord(x_of(2 * q * (1 - q), q * q)) + ' ' + coord(y_of(2 * q * (1 - q)));
  }
  out += curve + "\"/>";
  for (int c = 0; c < kQClasses; ++c) append_points_path(out, kClassColours[c], d[c]);
  append_text(out, kLeft, base + 16, "AA", "middle");
  append_text(out, kLeft + kSide, base + 16, "BB", "middle");
  append_text(out, kLeft + kSide / 2, base - height - 6, "AB", "middle");
  for (int c = 0; c < kQClasses; ++c) {
    const double y = 40 + 18 * c;
    append_point(curve = {}, kLeft + kSide + 22, y - 4);
    append_points_path(out, kClassColours[c], curve, "key");
    append_text(out, kLeft + kSide + 32, y, kClassNames[c], "start");
  }
  close_figure(out, "De Finetti diagram of the " + std::to_string(drawn) +
                        " biallelic sites drawn (" + std::to_string(biallelic_strong) +
                        " of them with -log10 p >= 2; the others thinned as in the other plots): "
                        "each site at its genotype frequencies (a corner is all of that genotype, "
                        "the height the heterozygote frequency); curve: Hardy-Weinberg proportions, "
                        "below it a heterozygote deficit, above it an excess; colour: q_bh class.");
}
