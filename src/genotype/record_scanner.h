// Formatted reading of genotype records, with the rules of the C library's
// scanf in the "C" locale:
//   - white space is space, \t, \n, \v, \f and \r;
//   - a record head (" %c%c%c") skips white space, then takes the next three
//     bytes whatever they are;
//   - a count ("%d") skips white space, then takes an optional sign and
//     decimal digits. When no digit follows, only the white space is
//     consumed: the sign and everything after it are read again as the start
//     of the next record.
// The bytes come either all in memory or through a TextWindow, which the
// scanner reads on as it goes; it never holds on to more than the few bytes
// of lookahead a record head needs, plus the first kRecordTextKept bytes of
// the current record (for naming it in a message). Positions are offsets in
// the whole text. Nothing here allocates; positions never pass the end.
#pragma once

#include <cstddef>
#include <cstdint>

#include "genotype/text_window.h"

constexpr size_t kRecordTextKept = 24;

struct ByteScanner {
  const unsigned char* data;  // the bytes at hand: data[0 .. length)
  size_t length;
  size_t pos;                 // the next byte, as an index into data
  TextWindow* window = nullptr;  // where further bytes come from; none: data is all
  size_t offset = 0;             // text offset of data[0]
  // The current record's first bytes, copied before the window drops them.
  size_t record_start = 0;
  size_t record_kept = 0;
  unsigned char record_bytes[kRecordTextKept] = {};
};

// A scanner on a window (which must outlive it), at the window's start.
ByteScanner scan_window(TextWindow& window);

inline size_t scan_offset(const ByteScanner& s) { return s.offset + s.pos; }

// True when n bytes are at hand from s.pos on, reading on if need be.
bool scan_has(ByteScanner& s, size_t n);

// Whether scan_rewind can work: the bytes are in memory or in a seekable file.
bool scan_can_rewind(const ByteScanner& s);

// Back to the start of the text. False when the bytes cannot be read again
// (a pipe); the scanner is then unchanged.
bool scan_rewind(ByteScanner& s);

bool is_scan_space(unsigned char c);
void scan_skip_space(ByteScanner& s);

struct RecordHead {
  size_t start;  // text offset of the first allele character
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

// The first bytes (at most kRecordTextKept) of the last record head read, up
// to text offset `end`, copied into out; returns how many.
size_t scan_record_text(ByteScanner& s, size_t end, unsigned char* out);
