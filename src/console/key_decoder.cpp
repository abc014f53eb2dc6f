#include "console/key_decoder.h"

#include "console/console.h"
#include "console/cp437.h"

namespace {

// Control sequences longer than this are not keys: what came so far is
// dropped, and the rest up to the final byte when it comes.
constexpr size_t kMaxSequence = 64;
constexpr int kTooLong = -3;

constexpr int extended(int scan) { return kExtendedKey | scan; }

DecodedKey key(size_t used, int event) { return DecodedKey{used, event}; }
DecodedKey dropped(size_t used) { return DecodedKey{used, kNoKeyEvent}; }
DecodedKey need_more() { return DecodedKey{0, kNoKeyEvent}; }

bool is_parameter(uint8_t b) { return b >= 0x30 && b <= 0x3F; }
bool is_intermediate(uint8_t b) { return b >= 0x20 && b <= 0x2F; }
bool is_final(uint8_t b) { return b >= 0x40 && b <= 0x7E; }

// The letter finals shared by CSI and SS3: arrows, Home, End, F1-F4.
int letter_key(uint8_t final_byte) {
  switch (final_byte) {
    case 'A': return extended(kScanUp);
    case 'B': return extended(kScanDown);
    case 'C': return extended(kScanRight);
    case 'D': return extended(kScanLeft);
    case 'H': return extended(kScanHome);
    case 'F': return extended(kScanEnd);
    case 'P': return extended(kScanF1);
    case 'Q': return extended(kScanF2);
    case 'R': return extended(kScanF3);
    case 'S': return extended(kScanF4);
    default: return kNoKeyEvent;
  }
}

// CSI n ~ : the VT editing keypad and the function keys (n = 1..21).
int tilde_key(int n) {
  switch (n) {
    case 1: case 7: return extended(kScanHome);
    case 2: return extended(kScanInsert);
    case 3: return extended(kScanDelete);
    case 4: case 8: return extended(kScanEnd);
    case 5: return extended(kScanPageUp);
    case 6: return extended(kScanPageDown);
    case 11: case 12: case 13: case 14: case 15: return extended(kScanF1 + n - 11);
    case 17: case 18: case 19: case 20: case 21: return extended(kScanF6 + n - 17);
    default: return kNoKeyEvent;
  }
}

// The application keypad (SS3 j..y, M, X): the characters of its keys.
int keypad_key(uint8_t final_byte) {
  if (final_byte >= 'j' && final_byte <= 'y') return "*+,-./0123456789"[final_byte - 'j'];
  if (final_byte == 'M') return 13;
  if (final_byte == 'X') return '=';
  return kNoKeyEvent;
}

// bytes[0..2) is ESC '['.
DecodedKey decode_csi(const uint8_t* bytes, size_t count, bool idle) {
  size_t i = 2;
  if (count > 2 && bytes[2] == '[') {  // Linux console F1-F5: ESC [ [ A..E
    if (count < 4) return idle ? dropped(count) : need_more();
    const uint8_t f = bytes[3];
    if (f >= 'A' && f <= 'E') return key(4, extended(kScanF1 + (f - 'A')));
    return dropped(is_final(f) ? 4 : 3);
  }
  bool numeric = true;  // only digits and ';' in the parameters
  int first = -1;       // the first parameter, -1 when empty
  while (i < count && is_parameter(bytes[i])) {
    const uint8_t b = bytes[i];
    if (b >= '0' && b <= '9') {
      if (first < 0) first = 0;
      if (first < 10000) first = first * 10 + (b - '0');
    } else if (b == ';') {
      if (first < 0) first = 1;
      // Later parameters are modifiers: the key stays the key.
      while (i + 1 < count && ((bytes[i + 1] >= '0' && bytes[i + 1] <= '9') || bytes[i + 1] == ';')) ++i;
    } else {
      numeric = false;
    }
    ++i;
    if (i > kMaxSequence) return DecodedKey{i, kTooLong};
  }
  bool intermediates = false;
  while (i < count && is_intermediate(bytes[i])) {
    intermediates = true;
    ++i;
    if (i > kMaxSequence) return DecodedKey{i, kTooLong};
  }
  if (i == count) return idle ? dropped(count) : need_more();
  const uint8_t f = bytes[i];
  if (!is_final(f)) return dropped(i);  // broken off: the odd byte starts the next key
  const size_t used = i + 1;
  if (!numeric || intermediates) return dropped(used);
  if (f == '~') return key(used, first < 0 ? kNoKeyEvent : tilde_key(first));
  return key(used, letter_key(f));
}

// bytes[0..2) is ESC 'O'.
DecodedKey decode_ss3(const uint8_t* bytes, size_t count, bool idle) {
  size_t i = 2;
  while (i < count && (is_parameter(bytes[i]))) {
    ++i;
    if (i > kMaxSequence) return DecodedKey{i, kTooLong};
  }
  if (i == count) return idle ? dropped(count) : need_more();
  const uint8_t f = bytes[i];
  if (!is_final(f)) return dropped(i);
  const int letter = letter_key(f);
  return key(i + 1, letter != kNoKeyEvent ? letter : keypad_key(f));
}

// Text typed beyond ASCII arrives as UTF-8: a character code page 437 has
// becomes that byte, anything else is dropped.
DecodedKey decode_utf8(const uint8_t* bytes, size_t count, bool idle) {
  const uint8_t lead = bytes[0];
  size_t length;
  uint32_t cp;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07;
  } else {
    return dropped(1);
  }
  for (size_t i = 1; i < length; ++i) {
    if (i == count) return idle ? dropped(count) : need_more();
    if ((bytes[i] & 0xC0) != 0x80) return dropped(i);
    cp = (cp << 6) | (bytes[i] & 0x3F);
  }
  const int byte = cp437_from_code_point(cp);
  return key(length, byte >= 128 ? byte : kNoKeyEvent);
}

DecodedKey decode_one(const uint8_t* bytes, size_t count, bool idle) {
  const uint8_t b = bytes[0];
  if (b == kKeyEsc) {
    if (count == 1) return idle ? key(1, kKeyEsc) : need_more();
    if (bytes[1] == '[') return decode_csi(bytes, count, idle);
    if (bytes[1] == 'O') return decode_ss3(bytes, count, idle);
    // Esc followed by anything else (another Esc, or Alt with a key) is
    // the Esc key; the next byte is a key of its own.
    return key(1, kKeyEsc);
  }
  if (b == kKeyDelete || b == kKeyBackspace) return key(1, kKeyBackspace);
  if (b == '\n') return key(1, kKeyEnter);
  if (b == 0) return dropped(1);  // Ctrl-Space: a 0 would read as an extended-key prefix
  if (b < 128) return key(1, b);
  return decode_utf8(bytes, count, idle);
}

}  // namespace

DecodedKey decode_key(KeyDecoder& decoder, const uint8_t* bytes, size_t count, bool idle) {
  if (count == 0) return need_more();
  if (decoder.in_long_sequence) {
    const uint8_t b = bytes[0];
    if (is_parameter(b) || is_intermediate(b)) return dropped(1);
    decoder.in_long_sequence = false;
    if (is_final(b)) return dropped(1);
  }
  if (decoder.after_cr && bytes[0] == 10) {
    decoder.after_cr = false;
    return dropped(1);
  }
  DecodedKey result = decode_one(bytes, count, idle);
  if (result.event == kTooLong) {
    decoder.in_long_sequence = true;
    result.event = kNoKeyEvent;
  }
  if (result.used > 0) decoder.after_cr = bytes[0] == kKeyEnter;
  return result;
}

size_t decode_keys(KeyDecoder& decoder, const uint8_t* bytes, size_t count, bool idle,
                   std::vector<int>& events) {
  size_t done = 0;
  while (done < count) {
    const DecodedKey k = decode_key(decoder, bytes + done, count - done, idle);
    if (k.used == 0) break;
    if (k.event != kNoKeyEvent) events.push_back(k.event);
    done += k.used;
  }
  return done;
}
