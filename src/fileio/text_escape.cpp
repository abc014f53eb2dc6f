#include "fileio/text_escape.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

void add_hex(std::string& out, unsigned char c) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  out += "\\x";
  out += kDigits[c >> 4];
  out += kDigits[c & 0xF];
}

// The length of the well-formed UTF-8 character at text[at] (two to four
// bytes, no overlong forms, no surrogates, nothing beyond U+10FFFF, no C1
// control), or 0.
size_t utf8_length(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    if (lead == 0xC2) low = 0xA0;  // U+0080..U+009F are the C1 controls
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

bool may_need_escape(std::string_view text) {
  // Eight bytes at a time: every cell of every row is asked. A byte below
  // 0x20 borrows into its top bit after subtracting 0x20 from each; 0x7F
  // and the backslash are zero bytes after an XOR.
  constexpr uint64_t kOnes = 0x0101010101010101u, kTops = 0x8080808080808080u;
  const auto any_below = [](uint64_t w, uint64_t n) { return ((w - n * kOnes) & ~w & kTops) != 0; };
  const char* at = text.data();
  size_t left = text.size();
  for (; left >= 8; at += 8, left -= 8) {
    uint64_t w;
    std::memcpy(&w, at, 8);
    if ((w & kTops) != 0 || any_below(w, 0x20) || any_below(w ^ (0x7F * kOnes), 1) ||
        any_below(w ^ ('\\' * kOnes), 1))
      return true;
  }
  return !std::all_of(at, at + left, [](char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 0x20 && u < 0x7F && u != '\\';
  });
}

namespace {

std::string escape(std::string_view text, bool backslash) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const size_t length = utf8_length(text, i);
      if (length == 0) {
        add_hex(out, c);
        ++i;
      } else {
        out.append(text.substr(i, length));
        i += length;
      }
      continue;
    }
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += backslash ? "\\\\" : "\\"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          add_hex(out, c);
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  return out;
}

}  // namespace

std::string escape_text(std::string_view text) { return escape(text, true); }

std::string escape_controls(std::string_view text) {
  if (!may_need_escape(text)) return std::string(text);
  return escape(text, false);
}

std::string unescape_text(std::string_view text) {
  if (text.find('\\') == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    switch (text[++i]) {
      case 't':
        out += '\t';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 'x': {
        unsigned byte = 0;
        const char* digits = text.data() + i + 1;
        const char* stop = text.data() + std::min(text.size(), i + 3);
        const auto [end, error] = std::from_chars(digits, stop, byte, 16);
        if (error == std::errc{} && end == digits + 2) {
          out += static_cast<char>(byte);
          i += 2;
        } else {
          out += "\\x";
        }
        break;
      }
      default:
        out += text[i];
    }
  }
  return out;
}
