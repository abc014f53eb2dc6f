#include "html/text_escape.h"

#include <gtest/gtest.h>

namespace {

const std::string kFffd = "\xEF\xBF\xBD";

TEST(TextEscape, MarkupCharactersBecomeEntities) {
  EXPECT_EQ(escape_text("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&#39;");
  EXPECT_EQ(escape_text("</svg><script>"), "&lt;/svg&gt;&lt;script&gt;");
  EXPECT_EQ(escape_text("&amp;"), "&amp;amp;");
}

TEST(TextEscape, WellFormedUtf8AndWhitespacePassUnchanged) {
  const std::string s = "R\xC3\xA9union \xE2\x88\x92log10 \xF0\x9F\x90\x84\tx\ny\r";
  EXPECT_EQ(escape_text(s), s);
}

TEST(TextEscape, WhatNoXmlParserAcceptsBecomesAReplacementCharacter) {
  EXPECT_EQ(escape_text(std::string("a\0b", 3)), "a" + kFffd + "b");
  EXPECT_EQ(escape_text("\x01\x1F"), kFffd + kFffd);
  EXPECT_EQ(escape_text("\x80"), kFffd);               // a lone continuation byte
  EXPECT_EQ(escape_text("\xC0\x80"), kFffd + kFffd);   // overlong NUL
  EXPECT_EQ(escape_text("\xED\xA0\x80"), kFffd + kFffd + kFffd);  // a surrogate
  EXPECT_EQ(escape_text("ab\xC3"), "ab" + kFffd);      // cut short at the end
  EXPECT_EQ(escape_text("\xE2\x82x"), kFffd + kFffd + "x");
  EXPECT_EQ(escape_text("\xF4\x90\x80\x80"), kFffd + kFffd + kFffd + kFffd);  // above U+10FFFF
  EXPECT_EQ(escape_text("\xEF\xBF\xBF"), kFffd + kFffd + kFffd);  // U+FFFF
  EXPECT_EQ(escape_text("\xFF<"), kFffd + "&lt;");
}

}  // namespace
