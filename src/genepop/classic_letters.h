// A tally in the classic program's terms: allele class i (in increasing code
// order) takes the allele character 65 + i ('A', 'B', ... 'Z', '[', ... 'a',
// ...), so at most 128 classes (up to the character 192) can be named, the
// same limit as count files.
#pragma once

#include <cstdint>
#include <string>

#include "genepop/genepop_data.h"
#include "genotype/genotype_table.h"

constexpr int32_t kMaxLetterClasses = 128;

// The allele character of class i, 0 <= i < kMaxLetterClasses.
inline char allele_character(int32_t i) { return static_cast<char>(65 + i); }

// The plain-text line that precedes the report of one population x locus,
// ending in a bare '\n':
//   Genepop file "x.gen", population 2 (Pop2Ind1), locus Loc3: A=101 B=104
// Codes are written with the locus's width (2 or 3 digits). A tally with
// more than kMaxLetterClasses classes has no letters: its line says so.
std::string format_genepop_heading(const char* file, const GenepopTally& t);

// Fills a classic table (counts, and the letters of every genotype seen)
// from a tally of 1 to kMaxLetterClasses classes, with k and two_n as the
// count-file reader gives them. False, with table, k and two_n untouched,
// when the tally has no classes or too many, or memory runs out.
bool fill_classic_table(const GenepopTally& t, GenotypeTable& table, int32_t& k, int32_t& two_n);
