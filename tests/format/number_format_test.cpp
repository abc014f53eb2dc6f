#include "format/number_format.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <clocale>
#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>

namespace {

// The significant digits of a decimal in fixed or exponent form.
int significant_digits(const std::string& text) {
  int digits = 0;
  bool leading = true;
  for (char c : text) {
    if (c == 'e') break;
    if (c < '0' || c > '9') continue;
    if (leading && c == '0') continue;
    leading = false;
    ++digits;
  }
  return digits == 0 ? 1 : digits;
}

template <class T>
T read_back(const std::string& text) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  EXPECT_EQ(error, std::errc{}) << text;
  EXPECT_EQ(end, text.data() + text.size()) << text;
  return value;
}

// Reads back to the same value of its type, and one digit fewer would not.
template <class T>
void expect_shortest(T value) {
  const std::string text = format_shortest(value);
  EXPECT_EQ(read_back<T>(text), value) << text;
  const int digits = significant_digits(text);
  if (digits > 1) {
    char fewer[320];
    std::snprintf(fewer, sizeof fewer, "%.*g", digits - 1, static_cast<double>(value));
    T shorter{};
    const std::string_view f(fewer);
    const auto [end, error] = std::from_chars(f.data(), f.data() + f.size(), shorter);
    // Out of range (DBL_MAX rounded up) does not read back either.
    EXPECT_TRUE(error != std::errc{} || shorter != value) << text << " could be " << fewer;
  }
}

TEST(NumberFormat, ShortestDecimalsReadBackInTheirOwnType) {
  // The figures users met as 7.81500006, 0.68499999046325688 and
  // 0.011057000000000001.
  EXPECT_EQ(format_shortest(7.815f), "7.815");
  EXPECT_EQ(format_shortest(0.685), "0.685");
  EXPECT_EQ(format_shortest(0.011057), "0.011057");
  EXPECT_EQ(format_shortest(0.1f), "0.1");
  EXPECT_EQ(format_shortest(1.0), "1");
  EXPECT_EQ(format_shortest(0.0), "0");
  EXPECT_EQ(format_shortest(1e-5), "1e-05");
  EXPECT_EQ(format_shortest(1e-45f), "1e-45");
  EXPECT_EQ(format_shortest(std::nan("")), "nan");
  // A float is not widened first: its shortest text is a float's.
  EXPECT_NE(format_shortest(0.1f), format_shortest(static_cast<double>(0.1f)));

  const float floats[] = {169.815521f, 24.996f, 3.4e38f, 16777217.0f, -2.5e-12f, 1.17549435e-38f,
                          0.0869565234f, 1.0f / 3.0f};
  const double doubles[] = {2.6619190577638241e-28, 123456789012.5, 1e-300, 4.9e-324, 1.0 / 3.0,
                            0.048428, -0.75, 1.7976931348623157e308};
  for (float f : floats) expect_shortest(f);
  for (double d : doubles) expect_shortest(d);
}

TEST(NumberFormat, AppendedTextsAreTheFormattedOnesAfterWhatWasThere) {
  // The longest texts of each type: they must fit the buffer they are made
  // in whole.
  const double doubles[] = {-2.2250738585072014e-308, -1.7976931348623157e308, -4.9e-324,
                            -1.2345678901234567e-100, 0.1, std::nan("")};
  const float floats[] = {-1.17549435e-38f, -3.40282347e38f, -1.4e-45f, 0.1f, std::nanf("")};
  for (double d : doubles) {
    std::string out = "x\t";
    append_shortest(out, d);
    EXPECT_EQ(out, "x\t" + format_shortest(d));
    out = "x\t";
    append_shortest_or_na(out, d);
    EXPECT_EQ(out, "x\t" + format_shortest_or_na(d));
  }
  for (float f : floats) {
    std::string out = "y";
    append_shortest(out, f);
    EXPECT_EQ(out, "y" + format_shortest(f));
  }
  std::string out;
  append_shortest(out, -2.2250738585072014e-308);
  append_shortest_or_na(out, std::nan(""));
  append_shortest(out, -3.40282347e38f);
  append_signed(out, INT64_MIN);
  append_unsigned(out, UINT64_MAX);
  EXPECT_EQ(out,
            "-2.2250738585072014e-308NA-3.4028235e+38-922337203685477580818446744073709551615");
}

TEST(NumberFormat, TheLocaleChangesNothing) {
  const std::string f = format_shortest(0.25f);
  const std::string d = format_shortest(1234.5);
  const std::string g = format_general(0.123456789, 6);
  // A locale with a decimal comma, where installed.
  std::setlocale(LC_ALL, "de_DE.UTF-8");
  EXPECT_EQ(format_shortest(0.25f), f);
  EXPECT_EQ(format_shortest(1234.5), d);
  EXPECT_EQ(format_general(0.123456789, 6), g);
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(f, "0.25");
  EXPECT_EQ(d, "1234.5");
  EXPECT_EQ(g, "0.123457");
}

}  // namespace
