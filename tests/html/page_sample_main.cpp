// Writes a results page from the fixed data of sample_pages.h, for the page
// tests and to look at: page_sample small|genome|counts|demo OUT [N].
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "html/page_writer.h"
#include "demo_page.h"
#include "sample_pages.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: page_sample small|genome|counts|demo OUT [N]\n";
    return 2;
  }
  const std::string kind = argv[1];
  const long long n = argc > 3 ? std::atoll(argv[3]) : 0;
  PageData page;
  if (kind == "small") page = small_sample_page(n > 0 ? n : 600);
  else if (kind == "genome") page = genome_sample_page(n > 0 ? n : 28501);
  else if (kind == "demo") page = demo_page();
  else if (kind == "counts") page = count_files_page(n > 0 ? static_cast<int>(n) : 52);
  else {
    std::cerr << "page_sample: unknown kind " << kind << "\n";
    return 2;
  }
  std::ofstream out(argv[2], std::ios::binary);
  if (!out || !write_page(out, page)) {
    std::cerr << "page_sample: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
