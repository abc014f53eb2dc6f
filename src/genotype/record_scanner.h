// Formatted reading of genotype records from bytes in memory, with the rules
// of the C library's scanf in the "C" locale:
//   - white space is space, \t, \n, \v, \f and \r;
//   - a record head (" %c%c%c") skips white space, then takes the next three
//     bytes whatever they are;
//   - a count ("%d") skips white space, then takes an optional sign and
//     decimal digits. When no digit follows, only the white space is
//     consumed: the sign and everything after it are read again as the start
//     of the next record.
// Nothing here allocates or fails; positions never pass the end.
#pragma once

#include <cstddef>
#include <cstdint>

struct ByteScanner {
  const unsigned char* data;
  size_t length;
  size_t pos;
};

bool is_scan_space(unsigned char c);
void scan_skip_space(ByteScanner& s);

struct RecordHead {
  size_t start;  // position of the first allele character
  unsigned char c1, c2, separator;
};

// Skips white space and takes three bytes. False when the data ends first
// (the scanner is then at the end).
bool scan_record_head(ByteScanner& s, RecordHead* head);

inline bool is_record_separator(unsigned char c) { return c == ':' || c == '-'; }

struct ScannedCount {
  bool found;              // a number was read
  bool negative;           // it had a minus sign
  uint64_t magnitude;      // its absolute value, held at kCountCeiling if larger
};
constexpr uint64_t kCountCeiling = uint64_t{1} << 40;

ScannedCount scan_count(ByteScanner& s);
