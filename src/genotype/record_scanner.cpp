#include "genotype/record_scanner.h"

#include <cstring>

namespace {

// Copies what the record-text copy still lacks from the bytes at hand.
void keep_record_bytes(ByteScanner& s) {
  if (s.record_kept == kRecordTextKept) return;
  const size_t from = s.record_start + s.record_kept;  // never before s.offset
  const size_t held_end = s.offset + s.length;
  if (from >= held_end || from < s.offset) return;
  size_t n = held_end - from;
  if (n > kRecordTextKept - s.record_kept) n = kRecordTextKept - s.record_kept;
  std::memcpy(s.record_bytes + s.record_kept, s.data + (from - s.offset), n);
  s.record_kept += n;
}

// Reads on, keeping the bytes from s.pos; true when more came.
bool scan_more(ByteScanner& s) {
  if (s.window == nullptr) return false;
  keep_record_bytes(s);
  TextWindow& w = *s.window;
  const bool more = more_text_window(w, s.pos);
  s.data = w.bytes.data;
  s.length = w.length;
  s.offset = w.offset;
  s.pos = 0;
  return more;
}

bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

}  // namespace

ByteScanner scan_window(TextWindow& window) {
  ByteScanner s{window.bytes.data, window.length, 0};
  s.window = &window;
  s.offset = window.offset;
  return s;
}

bool scan_has(ByteScanner& s, size_t n) {
  while (s.length - s.pos < n)
    if (!scan_more(s)) return false;
  return true;
}

bool scan_can_rewind(const ByteScanner& s) {
  return s.window == nullptr || s.window->seekable;
}

bool scan_rewind(ByteScanner& s) {
  if (s.window != nullptr) {
    if (!rewind_text_window(*s.window)) return false;
    s.data = s.window->bytes.data;
    s.length = 0;
  }
  s.offset = 0;
  s.pos = 0;
  s.record_start = 0;
  s.record_kept = 0;
  return true;
}

bool is_scan_space(unsigned char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

void scan_skip_space(ByteScanner& s) {
  do {
    while (s.pos < s.length && is_scan_space(s.data[s.pos])) ++s.pos;
  } while (s.pos == s.length && scan_more(s));
}

bool scan_record_head(ByteScanner& s, RecordHead* head) {
  scan_skip_space(s);
  if (!scan_has(s, 3)) {
    s.pos = s.length;
    return false;
  }
  head->start = scan_offset(s);
  head->c1 = s.data[s.pos];
  head->c2 = s.data[s.pos + 1];
  head->separator = s.data[s.pos + 2];
  s.record_start = head->start;
  s.record_kept = 0;
  s.pos += 3;
  return true;
}

ScannedCount scan_count(ByteScanner& s) {
  ScannedCount count{false, false, 0};
  scan_skip_space(s);
  if (!scan_has(s, 1)) return count;
  size_t digit = s.pos;
  const unsigned char first = s.data[s.pos];
  if (first == '+' || first == '-') {
    // The sign stays unread unless a digit follows it.
    if (!scan_has(s, 2)) return count;
    digit = s.pos + 1;
  }
  if (!is_digit(s.data[digit])) return count;
  count.negative = s.data[s.pos] == '-';
  s.pos = digit;
  do {
    while (s.pos < s.length && is_digit(s.data[s.pos])) {
      if (count.magnitude < kCountCeiling)
        count.magnitude = count.magnitude * 10 + static_cast<uint64_t>(s.data[s.pos] - '0');
      ++s.pos;
    }
  } while (s.pos == s.length && scan_more(s));
  if (count.magnitude > kCountCeiling) count.magnitude = kCountCeiling;
  count.found = true;
  return count;
}

size_t scan_record_text(ByteScanner& s, size_t end, unsigned char* out) {
  keep_record_bytes(s);
  size_t n = s.record_kept;
  if (end < s.record_start) return 0;
  if (n > end - s.record_start) n = end - s.record_start;
  std::memcpy(out, s.record_bytes, n);
  return n;
}
