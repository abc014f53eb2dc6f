#include "html/text_escape.h"

#include <cstdint>

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

}  // namespace

CodePoint first_code_point(std::string_view s) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
  constexpr CodePoint kBad{kReplacementCharacter, 1};
  const uint8_t b0 = byte(0);
  size_t len;
  char32_t cp;
  if (b0 < 0x80) return {b0, 1};
  if (b0 >= 0xC2 && b0 <= 0xDF) { len = 2; cp = b0 & 0x1F; }
  else if (b0 >= 0xE0 && b0 <= 0xEF) { len = 3; cp = b0 & 0x0F; }
  else if (b0 >= 0xF0 && b0 <= 0xF4) { len = 4; cp = b0 & 0x07; }
  else return kBad;
  if (s.size() < len) return kBad;
  for (size_t i = 1; i < len; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return kBad;
    cp = (cp << 6) | (byte(i) & 0x3F);
  }
  // Overlong forms, surrogates, code points above U+10FFFF, and U+FFFE and
  // U+FFFF, which are not XML characters either.
  if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return kBad;
  if (cp >= 0xD800 && cp <= 0xDFFF) return kBad;
  if (cp == 0xFFFE || cp == 0xFFFF) return kBad;
  return {cp, len};
}

void append_markup(std::string& out, std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    switch (c) {
      case '&': out += "&amp;"; ++i; continue;
      case '<': out += "&lt;"; ++i; continue;
      case '>': out += "&gt;"; ++i; continue;
      case '"': out += "&quot;"; ++i; continue;
      case '\'': out += "&#39;"; ++i; continue;
      default: break;
    }
    const auto u = static_cast<uint8_t>(c);
    if (u < 0x20 && c != '\t' && c != '\n' && c != '\r') {
      out += kReplacement;
      ++i;
      continue;
    }
    const CodePoint cp = first_code_point(text.substr(i));
    if (cp.value == kReplacementCharacter && cp.bytes == 1) {
      out += kReplacement;
    } else {
      out.append(text.substr(i, cp.bytes));
    }
    i += cp.bytes;
  }
}

std::string escape_markup(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  append_markup(out, text);
  return out;
}
