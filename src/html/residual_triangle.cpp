#include "html/residual_triangle.h"

#include <algorithm>
#include <cmath>

#include "html/colour_scale.h"
#include "html/svg_figure.h"
#include "html/svg_number.h"

std::vector<double> pearson_residuals(const CountFileFigures& f) {
  std::vector<double> r(f.observed.size(), kNoValue);
  for (size_t t = 0; t < r.size() && t < f.expected.size(); ++t)
    if (f.expected[t] > 0) r[t] = (f.observed[t] - f.expected[t]) / std::sqrt(f.expected[t]);
  return r;
}

double largest_residual(const std::vector<CountFileFigures>& files) {
  double m = 0;
  for (const CountFileFigures& f : files)
    for (double r : pearson_residuals(f))
      if (std::isfinite(r)) m = std::max(m, std::fabs(r));
  return m;
}

void append_residual_triangle(std::string& out, const CountFileFigures& f, double top, int id) {
  const int32_t k = f.k;
  const std::vector<double> r = pearson_residuals(f);
  const double cell = std::clamp(300.0 / std::max(k, 1), 5.0, 34.0);
  constexpr double kLeft = 26, kTop = 8;
  const double side = cell * k;
  const bool numbers = cell >= 30;
  const bool letters = cell >= 9;

  open_figure(out, std::max(kLeft + side + 12, 300.0), kTop + side + 58, "Pearson residuals of " + f.file);
  out += "<defs><pattern id=\"r" + std::to_string(id) +
         "\" width=\"5\" height=\"5\" patternUnits=\"userSpaceOnUse\" "
         "patternTransform=\"rotate(45)\"><rect width=\"5\" height=\"5\" fill=\"#fff\"/>"
         "<path d=\"M0 0v5\" stroke=\"#888\" stroke-width=\"2\"/></pattern></defs>";
  auto letter = [&](int32_t i) {
    return i < static_cast<int32_t>(f.alleles.size()) ? std::string(1, f.alleles[i]) : "?";
  };
  size_t t = 0;
  for (int32_t i = 0; i < k; ++i)
    for (int32_t j = i; j < k; ++j, ++t) {
      if (t >= r.size()) break;
      const double x = kLeft + cell * i, y = kTop + cell * j;
      const std::string fill = std::isnan(r[t]) ? "url(#r" + std::to_string(id) + ")" : css(residual_colour(r[t], top));
      append_rect(out, x, y, cell, cell, "res", fill,
                  letter(i) + letter(j) + ": observed " + figure(f.observed[t]) + ", expected " +
                      figure(t < f.expected.size() ? f.expected[t] : kNoValue) + ", residual " +
                      figure(r[t]));
      if (numbers && !std::isnan(r[t]))
        // + 0.0: a residual that rounds to -0 is written 0.
        append_text(out, x + cell / 2, y + cell / 2 + 4, figure(std::round(r[t] * 10) / 10 + 0.0), "middle",
                    "class=\"small\"");
    }
  if (letters)
    for (int32_t i = 0; i < k; ++i) {
      append_text(out, kLeft - 5, kTop + cell * i + cell / 2 + 4, letter(i), "end");
      append_text(out, kLeft + cell * i + cell / 2, kTop + side + 14, letter(i), "middle");
    }
  // The scale: -top .. 0 .. +top.
  const double ly = kTop + side + 26;
  for (int s = -4; s <= 4; ++s)
    append_rect(out, kLeft + 100 + 14 * s, ly, 14, 10, {}, css(residual_colour(top * s / 4, top)));
  append_text(out, kLeft + 44, ly + 24, std::string("-").append(figure(top)), "middle");
  append_text(out, kLeft + 107, ly + 24, "0", "middle");
  append_text(out, kLeft + 170, ly + 24, std::string("+").append(figure(top)), "middle");
  close_figure(out, f.file + " (k " + std::to_string(k) + ", n " + std::to_string(f.n) + ", p " +
                        figure(f.p) + ", q_bh " + figure(f.q_bh) +
                        "): Pearson residual (observed - expected)/sqrt(expected) of each genotype, "
                        "row and column its two alleles; red more observed than expected, blue fewer, "
                        "full colour at +-" + figure(top) + " or beyond; hatched: nothing expected.");
}
