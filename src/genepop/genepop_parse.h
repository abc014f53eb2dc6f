// The Genepop format, one line at a time: a title line; locus names, one per
// line or comma-separated, or a mix (a comma may end a line); then
// populations, each opened by a line whose only word is "Pop" (any case);
// each individual "NAME , G1 G2 ... Gm" with spaces or tabs between the
// genotypes, one per locus. A genotype is 4 or 6 digits (two 2- or 3-digit
// allele codes, one width per locus); a code 0 is missing, and an individual
// missing either allele is left out of that locus and counted as missing.
// Lines end in LF or CR LF; blank lines after the title carry nothing.
//
// Nothing is guessed: anything else stops the parse with the line and the
// reason, among them a line longer than genepop_line_limit, a "Pop" line
// with more words, and an individual's line before the first Pop line.
// Memory is the tallies plus the distinct genotypes of one population.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "genepop/genepop_data.h"
#include "genepop/genepop_tally.h"

struct GenepopParser {
  enum class Stage { kTitle, kLoci, kIndividuals };
  Stage stage = Stage::kTitle;
  size_t line = 0;  // lines fed so far
  GenepopRead result;
  std::vector<int32_t> digits;      // per locus; 0 until its first genotype
  std::vector<size_t> digits_line;  // where each locus's width was set
  size_t names_from = 0;            // the lines the locus names came from
  size_t names_to = 0;
  // The population being read.
  size_t pop_line = 0;
  int32_t individuals = 0;
  std::string pop_name;
  std::vector<LocusCounter> counters;  // one per locus
};

// The longest line (without its line end) the parser takes next: a reader
// need not gather more of a line than one byte beyond it.
size_t genepop_line_limit(const GenepopParser& p);

// Feeds one line without its LF (a final CR is allowed). False once the
// parse has failed; later lines are then ignored.
bool feed_genepop_line(GenepopParser& p, std::string_view line);

// Ends the input and hands over the result.
GenepopRead finish_genepop(GenepopParser& p);

// A whole file's bytes at once.
GenepopRead parse_genepop_text(std::string_view text);
