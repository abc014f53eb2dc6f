// The figures of a page as files in a folder, for a paper: names safe in
// any file system, each SVG written whole or not at all (under a temporary
// name, then renamed), and beside each a PDF made by a converter program
// (rsvg-convert of librsvg2-bin: librsvg and cairo) when one can be run.
// Statuses only: the front end says what went wrong.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "html/figure.h"

// Each stem made safe (ASCII letters, digits, '-', '.' and '_', no leading
// dot or dash, at most 100 bytes, no device name of Windows) and unique
// regardless of case (a second "qq" becomes "qq_2"), with the extension.
std::vector<std::string> safe_file_names(const std::vector<std::string>& stems, std::string_view extension);

enum class PdfStatus { kNotTried, kWritten, kFailed };

struct FigureFileStatus {
  std::string svg_path;
  int svg_error = 0;  // errno of the failed write; 0: written
  std::string pdf_path;
  PdfStatus pdf = PdfStatus::kNotTried;
  int pdf_exit = 0;  // the converter's exit status when it failed
};

struct FigureFolderResult {
  int folder_error = 0;  // errno when the folder could not be made; nothing written then
  bool converter_missing = false;
  std::vector<FigureFileStatus> files;
};

// Writes the files into `folder` (made when missing; its parent must
// exist). Unless `converter` is empty, each SVG written is then converted
// beside it: `converter -f pdf -o NAME.pdf NAME.svg`, the converter a name
// looked up in PATH or a path, its output and messages discarded. When it
// cannot be started no PDF is tried again, and converter_missing says so.
FigureFolderResult write_figure_files(const std::string& folder, const std::vector<FigureFile>& files,
                                      const std::string& converter = "rsvg-convert");
