// Parsing genotype text the way the reader sees a file: carriage returns
// dropped, cut at the first Ctrl-Z.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "genotype/genotype_parse.h"
#include "genotype/text_bytes.h"

inline GenotypeParse parse_text(const std::string& text) {
  std::vector<unsigned char> bytes(text.begin(), text.end());
  const size_t length = strip_text_bytes(bytes.data(), bytes.size());
  return parse_genotype_bytes(bytes.data(), length);
}

inline const GenotypeCell& cell_of(const GenotypeParse& p, char a, char b) {
  int32_t i = allele_index(static_cast<unsigned char>(a));
  int32_t j = allele_index(static_cast<unsigned char>(b));
  if (i > j) std::swap(i, j);
  return p.table[tri_index(i, j, p.k)];
}
