// A unit's genotype counts as its row shows them, written by the sources
// and read back by the merge (the page and the global U tests of merged
// rows), so that both sides share one form:
//
//   n_hom_ref n_het n_hom_alt  the counts of a two-allele unit: of a
//                              variant site with one ALT, REF/REF REF/ALT
//                              ALT/ALT; of a count file or Genepop unit
//                              with copies of exactly two alleles, the
//                              lower allele's homozygote, the heterozygote,
//                              the higher's. NA otherwise.
//   genotype_counts            every genotype with a count, as
//                              "A/B:count" joined by commas, in the
//                              triangle's order (A <= B, row by row), zero
//                              cells left out; NA where nothing was counted.
//
// The allele labels are the unit's own: a site's allele numbers (0 = REF),
// a Genepop locus's allele codes at its width, a count file's letters.
// None holds '/', ':' or ','. The unit's allele order is read back from
// the labels: by number where every label is a decimal number, else by
// byte.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exact/exact_tests.h"

// What a row shows of a unit's genotypes; -1 is NA, an empty text NA.
struct RowGenotypeCounts {
  std::array<int64_t, 3> two_allele{-1, -1, -1};
  std::string text;  // unescaped; the row escapes it
};

// One genotype onto the cell's text (nothing for a count of 0).
void append_genotype_count(std::string& text, std::string_view first, std::string_view second,
                           int64_t count);

// The counts of k alleles in the triangle (count(c) for cell c) with their
// labels (label(i), in allele order); the two-allele cells where exactly
// two of the alleles have copies. Into `out`, whose text is empty (and may
// bring memory to write it in).
template <class CountOf, class LabelOf>
void put_unit_genotype_counts(int32_t k, CountOf count, LabelOf label, RowGenotypeCounts& out) {
  out.two_allele = {-1, -1, -1};
  // Thousands of units a block: the copies of a few alleles need no
  // allocation, and the text is sized once from its cells.
  constexpr int32_t kFewAlleles = 16;
  int64_t few[kFewAlleles] = {};
  std::vector<int64_t> many;
  if (k > kFewAlleles) many.assign(static_cast<size_t>(k), 0);
  int64_t* const copies = k > kFewAlleles ? many.data() : few;
  const int32_t cells = k > 0 ? k * (k + 1) / 2 : 0;
  size_t counted = 0;
  for (int32_t cell = 0; cell < cells; ++cell) counted += count(cell) > 0 ? 1 : 0;
  out.text.reserve(counted * 16);
  int32_t cell = 0;
  for (int32_t i = 0; i < k; ++i) {
    for (int32_t j = i; j < k; ++j, ++cell) {
      const int64_t c = count(cell);
      if (c <= 0) continue;
      copies[i] += c;
      copies[j] += c;
      append_genotype_count(out.text, label(i), label(j), c);
    }
  }
  int32_t present = 0, a = -1, b = -1;
  for (int32_t i = 0; i < k; ++i) {
    if (copies[i] <= 0) continue;
    if (present == 0) a = i;
    if (present == 1) b = i;
    ++present;
  }
  if (present == 2) {
    const auto at = [&](int32_t i, int32_t j) { return count(i * k + j - i * (i + 1) / 2); };
    out.two_allele = {at(a, a), at(a, b), at(b, b)};
  }
}

template <class CountOf, class LabelOf>
RowGenotypeCounts unit_genotype_counts(int32_t k, CountOf count, LabelOf label) {
  RowGenotypeCounts out;
  put_unit_genotype_counts(k, count, label, out);
  return out;
}

// A genotype_counts cell read back (its escapes undone): the alleles in the
// unit's order and the counts over them, as the exact tests took them.
struct CountedGenotypes {
  std::vector<std::string> alleles;
  ExactSample sample;
};

// Nothing, with the reason, where the text is not what the rows hold
// ("NA" gives no alleles and an empty sample).
std::optional<CountedGenotypes> parse_genotype_counts(std::string_view text, std::string& reason);
