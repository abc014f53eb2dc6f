#include "html/figure.h"

#include "html/svg_figure.h"
#include "html/svg_number.h"
#include "html/text_escape.h"
#include "html/text_width.h"

namespace {

// A text of kFontSize units is 8 pt (8 / 72 inch) at this many millimetres
// a unit.
constexpr double kMmPerUnit = 8.0 / 72 * 25.4 / kFontSize;

// The attributes every figure's <svg> has, after its size.
void append_svg_attributes(std::string& out, const Figure& f) {
  out += " viewBox=\"0 0 " + coord(f.width) + ' ' + coord(f.height) + "\" role=\"img\" aria-labelledby=\"" +
         f.id + "-t\" font-family=\"" + kFontFamily + "\" font-size=\"" + coord(kFontSize) +
         "\" text-rendering=\"geometricPrecision\">";
  out += "<title id=\"" + f.id + "-t\">";
  append_markup(out, f.title);
  out += "</title>";
}

void append_table(std::string& out, const DataTable& t) {
  out += "<details><summary>";
  append_markup(out, t.summary);
  out += "</summary><table><thead><tr>";
  for (const std::string& h : t.header) {
    out += "<th scope=\"col\">";
    append_markup(out, h);
    out += "</th>";
  }
  out += "</tr></thead><tbody>";
  for (const auto& row : t.rows) {
    out += "<tr>";
    for (size_t i = 0; i < row.size(); ++i) {
      out += i == 0 ? "<th scope=\"row\">" : "<td>";
      append_markup(out, row[i]);
      out += i == 0 ? "</th>" : "</td>";
    }
    out += "</tr>";
  }
  out += "</tbody></table></details>";
}

}  // namespace

const char* const kFigureStyle =
    "text{fill:#222}.frame{fill:none;stroke:#444}.ax{stroke:#444}"
    ".pts{fill:none;stroke-width:3;stroke-linecap:round}.band{fill:#ddd;stroke:none}"
    ".ref{stroke:#777;fill:none}.dash{stroke-dasharray:4 3}.tri{fill:#fafafa;stroke:#444}"
    ".hw{fill:none;stroke:#222;stroke-width:1.5}.cell,.res{stroke:#fff;stroke-width:.5}"
    ".dir{fill:none;stroke-width:1.6;stroke-linecap:round;pointer-events:none}.key{stroke-width:7}";

double print_width_mm(double width) {
  if (width <= kOneColumn) return 85;
  if (width <= kTwoColumns) return 180;
  return width * kMmPerUnit;
}

void append_inline_figure(std::string& out, const Figure& f) {
  // Wider than two columns, a figure keeps its size on screen and scrolls.
  const bool wide = f.width > kTwoColumns;
  if (wide) out += "<div class=\"wide\" role=\"region\" tabindex=\"0\" aria-labelledby=\"" + f.id + "-t\">";
  out += "<figure id=\"" + f.id + "\"><svg xmlns=\"http://www.w3.org/2000/svg\" class=\"";
  out += f.width <= kOneColumn ? "c1" : f.width <= kTwoColumns ? "c2" : "c3";
  out += '"';
  append_attr(out, "width", f.width * kScreenScale);
  append_attr(out, "height", f.height * kScreenScale);
  out += " aria-describedby=\"" + f.id + "-c\"";
  append_svg_attributes(out, f);
  out += f.body;
  out += "</svg><figcaption id=\"" + f.id + "-c\">";
  append_markup(out, f.caption);
  if (!f.table.rows.empty()) append_table(out, f.table);
  out += "</figcaption></figure>";
  out += wide ? "</div>\n" : "\n";
}

std::string standalone_svg(const Figure& f) {
  const double mm = print_width_mm(f.width);
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"";
  out += " width=\"" + coord(mm) + "mm\" height=\"" + coord(mm * f.height / f.width) + "mm\"";
  append_svg_attributes(out, f);
  out += "<desc>";
  append_markup(out, f.caption);
  out += "</desc><style>";
  out += kFigureStyle;
  out += "</style>";
  out += f.body;
  out += "</svg>\n";
  return out;
}
