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

namespace {

TEST(TextEscape, ControlsOnlyLeaveBackslashesAndEscapedPiecesAlone) {
  // Already escaped text, and text with no control byte, are unchanged.
  for (const char* text : {"line 3: sample \"A\\x1B[2J\" listed twice", "a\\b\\\\c", "",
                           "caf\xc3\xa9 \xe2\x82\xac"})
    EXPECT_EQ(escape_controls(text), text) << text;
  const std::string forged = "A\x1b[2J\x1b]0;pwned\x07\rhwmc: all fine";
  EXPECT_EQ(escape_controls(forged), "A\\x1B[2J\\x1B]0;pwned\\x07\\rhwmc: all fine");
  EXPECT_EQ(escape_controls("a\\\tb\n\x7f\xc2\x9b\xff"), "a\\\\tb\\n\\x7F\\xC2\\x9B\\xFF");
  for (int c = 0; c < 256; ++c) {
    const std::string out = escape_controls(std::string(1, static_cast<char>(c)) + "x");
    for (char o : out) {
      const auto u = static_cast<unsigned char>(o);
      EXPECT_TRUE(u >= 0x20 && u < 0x7F) << c;
    }
  }
}

}  // namespace

// Every byte at every place of texts a word long and more: the check of
// whole words must say what escape_text does, which changes exactly the
// texts that hold a byte outside printable ASCII or a backslash.
TEST(TextEscape, NeedOfEscapeSeenAtEveryByteOfAWord) {
  for (size_t length = 1; length <= 19; ++length) {
    for (size_t at = 0; at < length; ++at) {
      for (int c = 0; c < 256; ++c) {
        std::string text(length, 'a');
        text[at] = static_cast<char>(c);
        const bool plain = c >= 0x20 && c < 0x7F && c != '\\';
        EXPECT_EQ(may_need_escape(text), !plain) << length << " " << at << " " << c;
        if (plain) {
          EXPECT_EQ(escape_text(text), text);
        }
      }
    }
  }
  EXPECT_FALSE(may_need_escape(""));
  EXPECT_FALSE(may_need_escape("/tmp/a path of more than eight bytes ~}|{ 0123"));
}
