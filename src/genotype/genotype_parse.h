// Turns the bytes of a genotype-count file (already stripped of carriage
// returns and cut at Ctrl-Z, see text_bytes.h) into a genotype table, from
// memory or through a bounded window on the file (text_window.h).
//
// The first record must be two ASCII letters, ':' or '-', and a digit. The
// first pass finds the largest allele index, the second fills the counts;
// both read the same records and stop at the same place: at the end of the
// data or at a record whose separator is neither ':' nor '-'. A record whose
// count is not a number sets its letters and leaves its count 0. Text that
// cannot be read twice (a pipe) is read once into a table with room for every
// allele, cut down afterwards: the same table, status and record.
//
// A pure function: it shows nothing and ends nothing. Every failure comes
// back as a status with the offending record, and then no table is returned.
#pragma once

#include <cstddef>
#include <cstdint>

#include "genotype/genotype_table.h"
#include "genotype/record_scanner.h"
#include "genotype/text_window.h"

enum class GenotypeParseStatus {
  kOk,
  kNotInputFile,    // the first record fails the check, or no first record
  kDuplicateEntry,  // the genotype's cell already holds a non-zero count
  kNoAlleleIndex,   // an allele character below 'A' or above 0xC0
  kNegativeCount,
  kCountTooLarge,   // a count beyond int32
  kTotalTooLarge,   // twice the sum of the counts beyond int32
  kOutOfMemory,     // the table could not be allocated
};

struct GenotypeParse {
  GenotypeParseStatus status = GenotypeParseStatus::kOk;
  GenotypeTable table;  // k(k+1)/2 cells when kOk, empty otherwise
  int32_t k = 0;
  int32_t two_n = 0;
  // The offending record: its two allele characters as written, and its
  // bytes [record_start, record_end) of the input, count included.
  char c1 = 0;
  char c2 = 0;
  size_t record_start = 0;
  size_t record_end = 0;
  // The first bytes of that record, kept because a file read through a
  // window no longer holds them when the parse returns.
  unsigned char record_text[kRecordTextKept] = {};
  size_t record_text_length = 0;
};

GenotypeParse parse_genotype_bytes(const unsigned char* data, size_t length);

// The same through a window (at its start). When the window's read fails the
// result is meaningless; the caller checks window.failed first.
GenotypeParse parse_genotype_window(TextWindow& window);
