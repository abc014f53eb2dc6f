#include "html/text_width.h"

#include "html/dejavu_widths.h"
#include "html/text_escape.h"

namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

// In font units.
int advance(char32_t c) {
  for (size_t r = 0; r < kDejaVuSansRanges; ++r) {
    const GlyphWidthRange& range = kDejaVuSansWidths[r];
    if (c < range.first || c > range.last) continue;
    const uint16_t w = range.widths[c - range.first];
    return w == kNoGlyph ? kDejaVuSansUnitsPerEm : w;
  }
  return kDejaVuSansUnitsPerEm;
}

double scale(double size) { return size / kDejaVuSansUnitsPerEm; }

}  // namespace

double text_width(std::string_view text, double size) {
  long units = 0;
  for (size_t i = 0; i < text.size();) {
    const CodePoint c = first_code_point(text.substr(i));
    units += advance(c.value);
    i += c.bytes;
  }
  return static_cast<double>(units) * scale(size);
}

std::string fit_text(std::string_view text, double max_width, double size) {
  if (text_width(text, size) <= max_width) return std::string(text);
  const double room = max_width / scale(size) - advance(U'\u2026');
  long units = 0;
  size_t cut = 0;
  for (size_t i = 0; i < text.size();) {
    const CodePoint c = first_code_point(text.substr(i));
    units += advance(c.value);
    if (static_cast<double>(units) > room) break;
    i += c.bytes;
    cut = i;
  }
  return std::string(text.substr(0, cut)) + std::string(kEllipsis);
}
