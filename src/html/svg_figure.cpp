#include "html/svg_figure.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "html/svg_number.h"
#include "html/text_escape.h"
#include "html/text_width.h"

namespace {

void append_line(std::string& out, double x1, double y1, double x2, double y2) {
  out += "<path class=\"ax\" d=\"M";
  append_coord(out, x1);
  out += ' ';
  append_coord(out, y1);
  out += 'L';
  append_coord(out, x2);
  out += ' ';
  append_coord(out, y2);
  out += "\"/>";
}

void append_title(std::string& out, std::string_view tooltip) {
  out += "<title>";
  append_markup(out, tooltip);
  out += "</title>";
}

// The numbers of an axis from 0 to top, widest first found.
double widest_tick_label(double top) {
  const double step = tick_step(top);
  double widest = 0;
  for (int i = 0; i * step <= top * (1 + 1e-9); ++i) widest = std::max(widest, text_width(figure(i * step)));
  return widest;
}

// Gaps between a frame, its tick marks, their numbers and the axis title.
constexpr double kTick = 4, kGap = 2;

}  // namespace

void append_attr(std::string& out, std::string_view name, double value) {
  out += ' ';
  out += name;
  out += "=\"";
  append_coord(out, value);
  out += '"';
}

void append_rect(std::string& out, double x, double y, double width, double height,
                 std::string_view cls, std::string_view fill, std::string_view tooltip) {
  out += "<rect";
  if (!cls.empty()) {
    out += " class=\"";
    out += cls;
    out += '"';
  }
  append_attr(out, "x", x);
  append_attr(out, "y", y);
  append_attr(out, "width", width);
  append_attr(out, "height", height);
  if (!fill.empty()) {
    out += " fill=\"";
    out += fill;
    out += '"';
  }
  if (tooltip.empty()) {
    out += "/>";
    return;
  }
  out += '>';
  append_title(out, tooltip);
  out += "</rect>";
}

double x_at(const PlotFrame& f, double x) { return f.left + f.width * x / f.x_max; }
double y_at(const PlotFrame& f, double y) { return f.top + f.height - f.height * y / f.y_max; }

double tick_step(double top) {
  if (!(top > 0) || !std::isfinite(top)) return 1;
  const double raw = top / 5;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * power >= raw) return m * power;
  return 10 * power;
}

double axis_top(double top) {
  if (!(top > 0) || !std::isfinite(top)) return 1;
  const double step = tick_step(top);
  return std::ceil(top / step - 1e-9) * step;
}

double y_axis_room(double y_max) {
  return kTick + kGap + widest_tick_label(y_max) + 2 * kGap + kAscent + kDescent + kGap;
}

double x_axis_right_room(double x_max) {
  const double step = tick_step(x_max);
  return text_width(figure(std::floor(x_max / step + 1e-9) * step)) / 2 + kGap;
}

void append_text(std::string& out, double x, double y, std::string_view text,
                 std::string_view anchor, std::string_view extra_attributes, double max_width) {
  out += "<text";
  append_attr(out, "x", x);
  append_attr(out, "y", y);
  if (anchor != "start") {
    out += " text-anchor=\"";
    out += anchor;
    out += '"';
  }
  if (!extra_attributes.empty()) {
    out += ' ';
    out += extra_attributes;
  }
  out += '>';
  if (max_width > 0) {
    const std::string shown = fit_text(text, max_width);
    if (shown.size() != text.size()) {
      append_markup(out, shown);
      append_title(out, text);
      out += "</text>";
      return;
    }
  }
  append_markup(out, text);
  out += "</text>";
}

void append_axes(std::string& out, const PlotFrame& f, std::string_view x_title,
                 std::string_view y_title, bool x_ticks) {
  append_rect(out, f.left, f.top, f.width, f.height, "frame", {});
  const double bottom = f.top + f.height;
  const double number_baseline = bottom + kTick + kGap + kAscent;
  if (x_ticks) {
    const double step = tick_step(f.x_max);
    for (int i = 0; i * step <= f.x_max * (1 + 1e-9); ++i) {
      const double x = x_at(f, i * step);
      append_line(out, x, bottom, x, bottom + kTick);
      append_text(out, x, number_baseline, figure(i * step), "middle");
    }
  }
  const double step = tick_step(f.y_max);
  for (int i = 0; i * step <= f.y_max * (1 + 1e-9); ++i) {
    const double y = y_at(f, i * step);
    append_line(out, f.left - kTick, y, f.left, y);
    // Centred on the tick: the digits' height is about 0.73 em.
    append_text(out, f.left - kTick - kGap, y + 0.36 * kFontSize, figure(i * step), "end");
  }
  append_text(out, f.left + f.width / 2, number_baseline + kDescent + kGap + kAscent, x_title, "middle", {},
              f.width);
  // Rotated a quarter turn, the title's glyphs stand left of its baseline.
  const double yx = f.left - kTick - kGap - widest_tick_label(f.y_max) - 2 * kGap - kDescent;
  const double yc = f.top + f.height / 2;
  std::string rotate = "transform=\"rotate(-90 ";
  append_coord(rotate, yx);
  rotate += ' ';
  append_coord(rotate, yc);
  rotate += ")\"";
  append_text(out, yx, yc, y_title, "middle", rotate, f.height);
}

void append_point(std::string& d, double x, double y) {
  d += 'M';
  append_coord(d, x);
  d += ' ';
  append_coord(d, y);
  d += "h0";
}

void append_points_path(std::string& out, std::string_view colour, const std::string& d,
                        std::string_view extra_class, std::string_view tooltip) {
  if (d.empty()) return;
  out += "<path class=\"pts";
  if (!extra_class.empty()) {
    out += ' ';
    out += extra_class;
  }
  out += "\" stroke=\"";
  out += colour;
  out += "\" d=\"";
  out += d;
  if (tooltip.empty()) {
    out += "\"/>";
    return;
  }
  out += "\">";
  append_title(out, tooltip);
  out += "</path>";
}

void append_hatch_pattern(std::string& out, std::string_view id) {
  out += "<pattern id=\"";
  out += id;
  out += "\" width=\"5\" height=\"5\" patternUnits=\"userSpaceOnUse\" patternTransform=\"rotate(45)\">"
         "<rect width=\"5\" height=\"5\" fill=\"#fff\"/><path d=\"M0 0v5\" stroke=\"#888\" "
         "stroke-width=\"2\"/></pattern>";
}

void append_gradient(std::string& out, std::string_view id, const std::vector<GradientStop>& stops) {
  out += "<linearGradient id=\"";
  out += id;
  out += "\">";
  for (const GradientStop& s : stops) {
    out += "<stop offset=\"";
    // To 1/10000: the stops of the tables fall between hundredths.
    char buffer[16];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, s.offset, std::chars_format::fixed, 4);
    out.append(buffer, r.ptr);
    out += "\" stop-color=\"" + css(s.colour) + "\"/>";
  }
  out += "</linearGradient>";
}
