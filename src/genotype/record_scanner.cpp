#include "genotype/record_scanner.h"

bool is_scan_space(unsigned char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

void scan_skip_space(ByteScanner& s) {
  while (s.pos < s.length && is_scan_space(s.data[s.pos])) ++s.pos;
}

bool scan_record_head(ByteScanner& s, RecordHead* head) {
  scan_skip_space(s);
  if (s.length - s.pos < 3) {
    s.pos = s.length;
    return false;
  }
  head->start = s.pos;
  head->c1 = s.data[s.pos];
  head->c2 = s.data[s.pos + 1];
  head->separator = s.data[s.pos + 2];
  s.pos += 3;
  return true;
}

static bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

ScannedCount scan_count(ByteScanner& s) {
  ScannedCount count{false, false, 0};
  scan_skip_space(s);
  size_t p = s.pos;
  if (p < s.length && (s.data[p] == '+' || s.data[p] == '-')) {
    count.negative = s.data[p] == '-';
    ++p;
  }
  if (p >= s.length || !is_digit(s.data[p])) {
    count.negative = false;
    return count;
  }
  while (p < s.length && is_digit(s.data[p])) {
    if (count.magnitude < kCountCeiling)
      count.magnitude = count.magnitude * 10 + static_cast<uint64_t>(s.data[p] - '0');
    ++p;
  }
  if (count.magnitude > kCountCeiling) count.magnitude = kCountCeiling;
  count.found = true;
  s.pos = p;
  return count;
}
