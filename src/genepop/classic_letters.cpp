#include "genepop/classic_letters.h"

#include <cstdio>
#include <utility>

std::string format_genepop_heading(const char* file, const GenepopTally& t) {
  std::string line = "Genepop file \"" + std::string(file) + "\", population " +
                     std::to_string(t.population) + " (" + t.pop_name + "), locus " +
                     t.locus_name + ":";
  const int32_t k = tally_k(t);
  if (k == 0) {
    line += " no alleles";
  } else if (k > kMaxLetterClasses) {
    line.append(" ").append(std::to_string(k)).append(" alleles, more than ");
    line.append(std::to_string(kMaxLetterClasses)).append(" letters");
  } else {
    for (int32_t i = 0; i < k; ++i) {
      char code[8];
      std::snprintf(code, sizeof code, "%0*d", static_cast<int>(t.digits),
                    static_cast<int>(t.allele_codes[static_cast<size_t>(i)]));
      line += ' ';
      line += allele_character(i);
      line += '=';
      line += code;
    }
  }
  line += '\n';
  return line;
}

bool fill_classic_table(const GenepopTally& t, GenotypeTable& table, int32_t& k, int32_t& two_n) {
  const int32_t classes = tally_k(t);
  if (classes < 1 || classes > kMaxLetterClasses) return false;
  const int32_t cells = cell_count_for(classes);
  GenotypeTable filled;
  if (!filled.allocate_zeroed(static_cast<size_t>(cells))) return false;
  clear_genotype_table(filled.data, cells);
  for (int32_t i = 0; i < classes; ++i) {
    for (int32_t j = i; j < classes; ++j) {
      const int32_t pos = tri_index(i, j, classes);
      const int32_t count = t.genotype_counts[static_cast<size_t>(pos)];
      if (count == 0) continue;
      filled[static_cast<size_t>(pos)].count = count;
      filled[static_cast<size_t>(pos)].allele1 = allele_character(i);
      filled[static_cast<size_t>(pos)].allele2 = allele_character(j);
    }
  }
  table = std::move(filled);
  k = classes;
  two_n = 2 * t.n;
  return true;
}
