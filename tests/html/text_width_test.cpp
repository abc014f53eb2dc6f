#include "html/text_width.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Advance widths of DejaVu Sans 2.37 in font units (of 2048), as its hmtx
// table gives them.
double em(int units) { return units * kFontSize / 2048; }

TEST(TextWidth, ATextIsTheSumOfItsGlyphsAdvances) {
  EXPECT_DOUBLE_EQ(text_width(""), 0);
  EXPECT_DOUBLE_EQ(text_width("W"), em(2025));
  EXPECT_DOUBLE_EQ(text_width("W._"), em(2025 + 651 + 1024));
  EXPECT_DOUBLE_EQ(text_width("\xE2\x80\xA6"), em(2048));        // U+2026, three bytes, one glyph
  EXPECT_DOUBLE_EQ(text_width("\xE2\x88\x92"), em(1716));        // U+2212 minus
  EXPECT_DOUBLE_EQ(text_width("W", 22), 2 * text_width("W"));
  // No glyph in the font (a CJK ideograph): one em, what fallback fonts give.
  EXPECT_DOUBLE_EQ(text_width("\xE7\x89\x9B"), kFontSize);
  // A byte that is not UTF-8 is set as U+FFFD, as the page writes it.
  EXPECT_DOUBLE_EQ(text_width("\xE9"), text_width("\xEF\xBF\xBD"));
}

TEST(TextWidth, ALongTextIsCutAtACodePointAndEndsInAnEllipsis) {
  const std::string name = "BlondeAquitaine_FRBTBDA29851";
  EXPECT_EQ(fit_text(name, text_width(name)), name);
  for (double room : {150.0, 100.0, 37.0, 12.0}) {
    const std::string cut = fit_text(name, room);
    ASSERT_TRUE(cut.ends_with("\xE2\x80\xA6")) << room;
    EXPECT_LE(text_width(cut), room);
    const std::string kept = cut.substr(0, cut.size() - 3);
    EXPECT_TRUE(name.starts_with(kept));
    // The longest start that fits: one more letter would not.
    EXPECT_GT(text_width(name.substr(0, kept.size() + 1) + "\xE2\x80\xA6"), room) << room;
  }
  // Letters of two bytes are kept whole.
  const std::string accents = "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";
  const std::string cut = fit_text(accents, text_width("\xC3\xA9\xC3\xA9\xE2\x80\xA6") + 0.1);
  EXPECT_EQ(cut, "\xC3\xA9\xC3\xA9\xE2\x80\xA6");
  EXPECT_EQ(fit_text(accents, 1), "\xE2\x80\xA6");
}

}  // namespace
