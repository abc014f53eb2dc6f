#include "html/residual_triangle.h"

#include <algorithm>
#include <cmath>

#include "html/colour_scale.h"
#include "html/svg_figure.h"
#include "html/svg_number.h"
#include "html/text_width.h"

namespace {

constexpr double kLeft = 26, kTop = 8, kPad = 4;
constexpr double kScaleLeft = 16, kScaleWidth = 200, kScaleHeight = 12;
constexpr double kLineStep = 14;

}  // namespace

std::vector<double> pearson_residuals(const CountFileFigures& f) {
  std::vector<double> r(f.observed.size(), kNoValue);
  for (size_t t = 0; t < r.size() && t < f.expected.size(); ++t)
    if (f.expected[t] > 0) r[t] = (f.observed[t] - f.expected[t]) / std::sqrt(f.expected[t]);
  return r;
}

Figure residual_triangle_figure(const CountFileFigures& f, const std::string& id) {
  const int32_t k = f.k;
  const std::vector<double> r = pearson_residuals(f);
  const double cell = std::clamp(290.0 / std::max(k, 1), 5.0, 34.0);
  const double side = cell * k;
  const bool letters = cell >= 13;
  const double legend_y = kTop + side + (letters ? kPad + kAscent + kDescent : 0) + 2 * kPad;

  Figure fig;
  fig.id = id;
  fig.title = "Pearson residuals of " + f.file;
  fig.width = kOneColumn;
  fig.height = legend_y + kLineStep + 2 + kScaleHeight + 3 + kLineStep + kPad;
  std::string& out = fig.body;
  out += "<defs>";
  append_hatch_pattern(out, id + "-h");
  append_gradient(out, id + "-s", residual_stops());
  out += "</defs>";
  auto letter = [&](int32_t i) {
    return i < static_cast<int32_t>(f.alleles.size()) ? std::string(1, f.alleles[i]) : "?";
  };
  const double centre = (kAscent - kDescent) / 2;
  size_t t = 0;
  for (int32_t i = 0; i < k; ++i)
    for (int32_t j = i; j < k; ++j, ++t) {
      if (t >= r.size()) break;
      const double x = kLeft + cell * i, y = kTop + cell * j;
      const Rgb colour = residual_colour(r[t]);
      const std::string fill = std::isnan(r[t]) ? "url(#" + id + "-h)" : css(colour);
      const std::string genotype = letter(i) + letter(j);
      const std::string tooltip = genotype + ": observed " + figure(f.observed[t]) + ", expected " +
                                  figure(t < f.expected.size() ? f.expected[t] : kNoValue) +
                                  ", residual " + figure(r[t]);
      append_rect(out, x, y, cell, cell, "res", fill, tooltip);
      fig.table.rows.push_back({genotype, figure(f.observed[t]),
                                figure(t < f.expected.size() ? f.expected[t] : kNoValue), figure(r[t])});
      if (std::isnan(r[t])) continue;
      // + 0.0: a residual that rounds to -0 is written 0.
      const std::string number = figure(std::round(r[t] * 10) / 10 + 0.0);
      if (text_width(number) + 4 <= cell)
        append_text(out, x + cell / 2, y + cell / 2 + centre, number, "middle",
                    relative_luminance(colour) > 0.3 ? "" : "fill=\"#fff\"");
    }
  if (letters)
    for (int32_t i = 0; i < k; ++i) {
      append_text(out, kLeft - 5, kTop + cell * i + cell / 2 + centre, letter(i), "end");
      append_text(out, kLeft + cell * i + cell / 2, kTop + side + kPad + kAscent, letter(i), "middle");
    }
  double y = legend_y;
  append_text(out, kPad, y + kAscent, "colour: Pearson residual", "start");
  y += kLineStep + 2;
  append_rect(out, kScaleLeft, y, kScaleWidth, kScaleHeight, {}, "url(#" + id + "-s)");
  y += kScaleHeight;
  std::string ticks;
  for (const ScaleTick& tick : kResidualTicks) {
    const double tx = kScaleLeft + kScaleWidth * (tick.value + kResidualTop) / (2 * kResidualTop);
    ticks += 'M' + coord(tx) + ' ' + coord(y) + "v3";
    append_text(out, tx, y + 3 + kAscent, tick.label, "middle");
  }
  out += "<path class=\"ax\" d=\"" + ticks + "\"/>";

  fig.caption = f.file + " (k " + std::to_string(k) + ", n " + std::to_string(f.n) + ", p " + figure(f.p) +
                ", q_bh " + figure(f.q_bh) + u_tests_text(f.p_u_deficit, f.p_u_excess, "") +
                "): Pearson residual (observed - expected)/sqrt(expected) of each genotype, row and "
                "column its two alleles; red more observed than expected, blue fewer, on the fixed "
                "scale of every page, full colour at +-4 or beyond; hatched: nothing expected.";
  fig.table.summary = "The figures of the " + std::to_string(fig.table.rows.size()) + " genotypes";
  fig.table.header = {"genotype", "observed", "expected", "residual"};
  return fig;
}
