#include "html/svg_figure.h"

#include <cmath>

#include "html/svg_number.h"
#include "html/text_escape.h"

void append_attr(std::string& out, std::string_view name, double value) {
  out += ' ';
  out += name;
  out += "=\"";
  append_coord(out, value);
  out += '"';
}

void open_figure(std::string& out, double width, double height, std::string_view label) {
  out += "<figure><svg xmlns=\"http://www.w3.org/2000/svg\"";
  append_attr(out, "width", width);
  append_attr(out, "height", height);
  out += " viewBox=\"0 0 " + coord(width) + ' ' + coord(height) + "\" role=\"img\" aria-label=\"";
  append_markup(out, label);
  out += "\">";
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
  out += "><title>";
  append_markup(out, tooltip);
  out += "</title></rect>";
}

void close_figure(std::string& out, std::string_view caption) {
  out += "</svg><figcaption>";
  append_markup(out, caption);
  out += "</figcaption></figure>\n";
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

}  // namespace

void append_text(std::string& out, double x, double y, std::string_view text,
                 std::string_view anchor, std::string_view extra_attributes) {
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
  append_markup(out, text);
  out += "</text>";
}

void append_axes(std::string& out, const PlotFrame& f, std::string_view x_title,
                 std::string_view y_title, bool x_ticks) {
  append_rect(out, f.left, f.top, f.width, f.height, "frame", {});
  const double bottom = f.top + f.height;
  if (x_ticks) {
    const double step = tick_step(f.x_max);
    for (int i = 0; i * step <= f.x_max * (1 + 1e-9); ++i) {
      const double x = x_at(f, i * step);
      append_line(out, x, bottom, x, bottom + 4);
      append_text(out, x, bottom + 15, figure(i * step), "middle");
    }
  }
  const double step = tick_step(f.y_max);
  for (int i = 0; i * step <= f.y_max * (1 + 1e-9); ++i) {
    const double y = y_at(f, i * step);
    append_line(out, f.left - 4, y, f.left, y);
    append_text(out, f.left - 6, y + 4, figure(i * step), "end");
  }
  append_text(out, f.left + f.width / 2, bottom + 32, x_title, "middle");
  const double yc = f.top + f.height / 2;
  std::string rotate = "transform=\"rotate(-90 ";
  append_coord(rotate, f.left - 36);
  rotate += ' ';
  append_coord(rotate, yc);
  rotate += ")\"";
  append_text(out, f.left - 36, yc, y_title, "middle", rotate);
}

void append_point(std::string& d, double x, double y) {
  d += 'M';
  append_coord(d, x);
  d += ' ';
  append_coord(d, y);
  d += "h0";
}

void append_points_path(std::string& out, std::string_view colour, const std::string& d,
                        std::string_view extra_class) {
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
  out += "\"/>";
}
