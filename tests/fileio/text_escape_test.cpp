#include "fileio/text_escape.h"

#include <gtest/gtest.h>

#include <string>

TEST(TextEscape, LineBreakersAndBackslashGetTheirShortForms) {
  EXPECT_EQ(escape_text("a\tb\nc\\d\re"), "a\\tb\\nc\\\\d\\re");
  // A name cannot forge a second message line.
  EXPECT_EQ(escape_text("x.txt\nhwmc: y"), "x.txt\\nhwmc: y");
  EXPECT_EQ(escape_text("plain name-1.txt"), "plain name-1.txt");
}

TEST(TextEscape, OtherControlsAndBrokenUtf8AreHexBytes) {
  EXPECT_EQ(escape_text(std::string("\0\x1b[2J\x07\x7f", 7)), "\\x00\\x1B[2J\\x07\\x7F");
  EXPECT_EQ(escape_text("\xff\xfe"), "\\xFF\\xFE");
  EXPECT_EQ(escape_text("\xc3"), "\\xC3");            // cut short
  EXPECT_EQ(escape_text("\xc0\xaf"), "\\xC0\\xAF");    // overlong "/"
  EXPECT_EQ(escape_text("\xed\xa0\x80"), "\\xED\\xA0\\x80");  // a surrogate
  EXPECT_EQ(escape_text("\xc2\x9b"), "\\xC2\\x9B");    // C1 control (CSI)
  EXPECT_EQ(escape_text("\xf4\x90\x80\x80"), "\\xF4\\x90\\x80\\x80");  // beyond U+10FFFF
}

TEST(TextEscape, WellFormedUtf8StaysAsWritten) {
  EXPECT_EQ(escape_text("Donn\xc3\xa9" "es.txt"), "Donn\xc3\xa9" "es.txt");
  EXPECT_EQ(escape_text("\xe2\x82\xac \xf0\x9f\x98\x80 \xc2\xa0"),
            "\xe2\x82\xac \xf0\x9f\x98\x80 \xc2\xa0");
}

TEST(TextEscape, UnescapingGivesEveryEscapedTextBack) {
  for (const std::string& text :
       {std::string("plain"), std::string("a\tb\nc\\d\re"), std::string("\0\x1b[2J\x7f", 6),
        std::string("\xff\xfe\xc3"), std::string("caf\xc3\xa9 \\x41 \\\\x")}) {
    EXPECT_EQ(unescape_text(escape_text(text)), text);
  }
  // Of text it did not write: an unknown pair gives its second character, a
  // short \x stays.
  EXPECT_EQ(unescape_text("a\\qb"), "aqb");
  EXPECT_EQ(unescape_text("\\x4"), "\\x4");
  EXPECT_EQ(unescape_text("end\\"), "end\\");
}
