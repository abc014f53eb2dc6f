// Writes a results page from the fixed data of sample_pages.h, for the page
// tests and to look at:
//   page_sample small|genome|counts|demo|long OUT [N]   the page
//   page_sample --figures KIND DIR [CONVERTER]         its figures as files
//   page_sample --widths                               the width of each line of
//                                                      standard input, as measured
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "demo_page.h"
#include "html/figure_files.h"
#include "html/page_writer.h"
#include "html/text_width.h"
#include "sample_pages.h"

namespace {

bool sample(const std::string& kind, long long n, PageData& page) {
  if (kind == "small") page = small_sample_page(n > 0 ? n : 600);
  else if (kind == "genome") page = genome_sample_page(n > 0 ? n : 28501);
  else if (kind == "demo") page = demo_page();
  else if (kind == "counts") page = count_files_page(n > 0 ? static_cast<int>(n) : 52);
  else if (kind == "long") page = long_labels_page();
  else return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string first = argc > 1 ? argv[1] : "";
  if (first == "--widths") {
    std::string line;
    while (std::getline(std::cin, line)) std::cout << text_width(line) << '\n';
    return 0;
  }
  if (first == "--figures" && argc >= 4) {
    PageData page;
    if (!sample(argv[2], 0, page)) return 2;
    const FigureFolderResult r =
        write_figure_files(argv[3], figure_files(page), argc > 4 ? argv[4] : "rsvg-convert");
    if (r.folder_error != 0) return 1;
    if (r.converter_missing) std::cout << "no converter\n";
    for (const FigureFileStatus& s : r.files)
      std::cout << s.svg_path << ' ' << s.svg_error << ' '
                << (s.pdf == PdfStatus::kWritten ? s.pdf_path : s.pdf == PdfStatus::kFailed ? "failed" : "-")
                << '\n';
    return 0;
  }
  if (argc < 3) {
    std::cerr << "usage: page_sample small|genome|counts|demo|long OUT [N]\n";
    return 2;
  }
  PageData page;
  if (!sample(first, argc > 3 ? std::atoll(argv[3]) : 0, page)) {
    std::cerr << "page_sample: unknown kind " << first << "\n";
    return 2;
  }
  std::ofstream out(argv[2], std::ios::binary);
  if (!out || !write_page(out, page)) {
    std::cerr << "page_sample: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
