// One figure of the page: a drawing in user units, its caption and, for a
// reader without the picture, the figures of its marks as a table. The page
// shows it inline (append_inline_figure); standalone_svg makes it an SVG
// document of its own, at its print size, for a paper.
//
// Sizes: every text is kFontSize (11) user units. On screen a unit is 4/3
// of a CSS pixel, so that a figure's text is as large as the page's. In
// print a figure at most kOneColumn units wide is 85 mm wide (one column),
// one at most kTwoColumns units 180 mm (two columns): either way its text is
// at least 8 pt. A wider one (a heat map of very many loci) scrolls on
// screen and prints 180 mm wide on the page, its text smaller; its
// standalone document keeps the text at 8 pt and is wider.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct DataTable {
  std::string summary;  // what it holds, a few words
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;  // none: no table
};

struct Figure {
  std::string name;   // what its file is named after: "heatmap", "qq_CEU"
  std::string id;     // unique on the page: its defs' names start with it
  std::string title;  // its accessible name, a few words
  double width = 0, height = 0;
  std::string body;     // the drawing: SVG markup, its text escaped
  std::string caption;  // how to read it: plain text
  DataTable table;
};

// A figure as a file of its own.
struct FigureFile {
  std::string name;  // "heatmap.svg", "qq_CEU.svg": safe in any file system, unique
  std::string svg;   // a standalone SVG document
};

inline constexpr double kScreenScale = 4.0 / 3;
inline constexpr double kOneColumn = 330;
inline constexpr double kTwoColumns = 700;

// The printed width in millimetres of a figure `width` units wide.
double print_width_mm(double width);

// The rules of the marks' classes, for the page's style and each
// standalone document's.
extern const char* const kFigureStyle;

// <figure> with the inline SVG (role img, its <title> as its name, the
// caption as its description), the caption, and the table behind a
// <details> in the caption.
void append_inline_figure(std::string& out, const Figure& figure);

// An XML document: <svg> sized in millimetres at its print width, its
// <title>, the caption as its <desc>, its style, the drawing.
std::string standalone_svg(const Figure& figure);
