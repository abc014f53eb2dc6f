#include "console/cp437.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string glyphs(int from, int to) {
  std::string s;
  for (int b = from; b <= to; ++b) s += cp437_utf8(static_cast<uint8_t>(b));
  return s;
}

TEST(Cp437, ControlRangeShowsItsGlyphs) {
  EXPECT_EQ(glyphs(1, 15), "☺☻♥♦♣♠•◘○◙♂♀♪♫☼");
  EXPECT_EQ(glyphs(16, 31), "►◄↕‼¶§▬↨↑↓→←∟↔▲▼");
  EXPECT_EQ(glyphs(127, 127), "⌂");
}

TEST(Cp437, ZeroAndFFAreBlank) {
  EXPECT_EQ(glyphs(0, 0), " ");
  EXPECT_EQ(glyphs(255, 255), "\u00a0");
}

TEST(Cp437, AsciiIsItself) {
  for (int b = 32; b < 127; ++b) EXPECT_EQ(glyphs(b, b), std::string(1, static_cast<char>(b)));
}

TEST(Cp437, GlyphsTheProgramDraws) {
  EXPECT_EQ(glyphs(176, 176), "░");
  EXPECT_EQ(glyphs(186, 188), "║╗╝");
  EXPECT_EQ(glyphs(196, 196), "─");
  EXPECT_EQ(glyphs(200, 201), "╚╔");
  EXPECT_EQ(glyphs(205, 205), "═");
  EXPECT_EQ(glyphs(219, 219), "█");
  EXPECT_EQ(glyphs(223, 223), "▀");
  EXPECT_EQ(glyphs(253, 253), "²");
}

TEST(Cp437, UpperHalfRows) {
  EXPECT_EQ(glyphs(0x80, 0x8F), "ÇüéâäàåçêëèïîìÄÅ");
  EXPECT_EQ(glyphs(0x90, 0x9F), "ÉæÆôöòûùÿÖÜ¢£¥₧ƒ");
  EXPECT_EQ(glyphs(0xA0, 0xAF), "áíóúñÑªº¿⌐¬½¼¡«»");
  EXPECT_EQ(glyphs(0xB0, 0xBF), "░▒▓│┤╡╢╖╕╣║╗╝╜╛┐");
  EXPECT_EQ(glyphs(0xC0, 0xCF), "└┴┬├─┼╞╟╚╔╩╦╠═╬╧");
  EXPECT_EQ(glyphs(0xD0, 0xDF), "╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀");
  EXPECT_EQ(glyphs(0xE0, 0xEF), "αßΓπΣσµτΦΘΩδ∞φε∩");
  EXPECT_EQ(glyphs(0xF0, 0xFE), "≡±≥≤⌠⌡÷≈°∙·√ⁿ²■");
}

TEST(Cp437, EveryByteRoundTripsThroughItsCodePoint) {
  for (int b = 1; b < 256; ++b)
    EXPECT_EQ(cp437_from_code_point(cp437_code_point(static_cast<uint8_t>(b))), b) << b;
  EXPECT_EQ(cp437_from_code_point(' '), 32);
  EXPECT_EQ(cp437_from_code_point(0x20AC), -1);  // the euro sign
}

}  // namespace
