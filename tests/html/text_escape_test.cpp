#include "html/text_escape.h"

#include <gtest/gtest.h>

namespace {

const std::string kFffd = "\xEF\xBF\xBD";

TEST(TextEscape, MarkupCharactersBecomeEntities) {
  EXPECT_EQ(escape_markup("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&#39;");
  EXPECT_EQ(escape_markup("</svg><script>"), "&lt;/svg&gt;&lt;script&gt;");
  EXPECT_EQ(escape_markup("&amp;"), "&amp;amp;");
}

TEST(TextEscape, WellFormedUtf8AndWhitespacePassUnchanged) {
  const std::string s = "R\xC3\xA9union \xE2\x88\x92log10 \xF0\x9F\x90\x84\tx\ny\r";
  EXPECT_EQ(escape_markup(s), s);
}

TEST(TextEscape, WhatNoXmlParserAcceptsBecomesAReplacementCharacter) {
  EXPECT_EQ(escape_markup(std::string("a\0b", 3)), "a" + kFffd + "b");
  EXPECT_EQ(escape_markup("\x01\x1F"), kFffd + kFffd);
  EXPECT_EQ(escape_markup("\x80"), kFffd);               // a lone continuation byte
  EXPECT_EQ(escape_markup("\xC0\x80"), kFffd + kFffd);   // overlong NUL
  EXPECT_EQ(escape_markup("\xED\xA0\x80"), kFffd + kFffd + kFffd);  // a surrogate
  EXPECT_EQ(escape_markup("ab\xC3"), "ab" + kFffd);      // cut short at the end
  EXPECT_EQ(escape_markup("\xE2\x82x"), kFffd + kFffd + "x");
  EXPECT_EQ(escape_markup("\xF4\x90\x80\x80"), kFffd + kFffd + kFffd + kFffd);  // above U+10FFFF
  EXPECT_EQ(escape_markup("\xEF\xBF\xBF"), kFffd + kFffd + kFffd);  // U+FFFF
  EXPECT_EQ(escape_markup("\xFF<"), kFffd + "&lt;");
}

}  // namespace
