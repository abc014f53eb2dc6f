#include "genotype/genotype_file.h"

#include <utility>

GenotypeFileParse parse_genotype_file(const char* path) {
  GenotypeFileParse file;
  TextWindow window;
  file.load = open_text_window(path, &window);
  if (file.load != TextLoadStatus::kOk) return file;
  GenotypeParse parse = parse_genotype_window(window);
  // A failed read cut the text short, so whatever the parse made of it is not
  // the file's result.
  if (window.failed) {
    file.load = TextLoadStatus::kReadError;
    return file;
  }
  file.parse = std::move(parse);
  return file;
}
