// What a Genepop file holds once read: its loci and, for every population
// and locus, the tally of the individuals typed there.
//
// Allele classes are the allele codes with at least one copy in that
// population at that locus, in increasing code order; the genotype counts
// are the upper triangle over those classes, row by row (tri_index order).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct GenepopTally {
  int32_t population = 0;  // 1-based, in file order
  int32_t locus = 0;       // 0-based index into GenepopData::loci
  std::string pop_name;    // the population's first individual, trimmed
  std::string locus_name;  // as written, trimmed
  int32_t digits = 0;      // width of one allele code at this locus: 2 or 3
  std::vector<int32_t> allele_codes;     // ascending, each with copies
  std::vector<int32_t> allele_copies;    // copies of each class
  std::vector<int32_t> genotype_counts;  // k(k+1)/2 cells
  int32_t n = 0;        // individuals typed at this locus
  int32_t missing = 0;  // individuals lacking one or both alleles
};

inline int32_t tally_k(const GenepopTally& t) {
  return static_cast<int32_t>(t.allele_codes.size());
}

struct GenepopData {
  std::string title;
  std::vector<std::string> loci;
  int32_t populations = 0;
  // Population-major: the tally of population p, locus l is at
  // (p - 1) * loci.size() + l.
  std::vector<GenepopTally> tallies;
};

enum class GenepopStatus {
  kOk,
  kCannotOpen,
  kReadError,
  kOutOfMemory,
  kEmptyFile,
  kStrayCarriageReturn,  // a CR that does not end its line
  kEmptyLocusName,       // "a,,b", a leading comma, or a lone comma
  kNoLocusNames,         // the first Pop line comes right after the title
  kNoPopLine,
  kEmptyPopulation,      // a Pop line without individuals after it
  kMissingComma,         // an individual's line without the comma after the name
  kGenotypeCount,        // number of genotypes differs from number of loci
  kGenotypeNotDigits,
  kGenotypeWidth,        // a genotype that is not 4 or 6 digits
  kMixedWidth,           // 2- and 3-digit codes at one locus
  kTooManyIndividuals,   // copies of one population would overflow int32
  kLineTooLong,          // beyond genepop_line_limit (a file without line feeds)
  kPopLineWithText,      // "Pop 1"
  kIndividualBeforePop,  // "NAME , 0101 0202" among the locus names
};

// The outcome of reading one file. On failure data is empty, line is the
// 1-based line at fault (0 when the failure has no line, such as an I/O
// error) and reason says what is wrong there.
struct GenepopRead {
  GenepopStatus status = GenepopStatus::kOk;
  size_t line = 0;
  std::string reason;
  GenepopData data;
};

// "line 12: genotype \"01a2\" has a character that is not a digit", or the
// bare reason when the failure has no line.
inline std::string describe_genepop_failure(const GenepopRead& r) {
  if (r.line == 0) return r.reason;
  return "line " + std::to_string(r.line) + ": " + r.reason;
}
