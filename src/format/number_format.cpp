#include "format/number_format.h"

#include <charconv>
#include <cmath>

namespace {

template <class T>
std::string general(T value, int precision) {
  if (std::isnan(value)) return "nan";
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
  return std::string(buffer, result.ptr);
}

// Room for any number to_chars writes here: the longest, a negative
// subnormal double in exponent form or INT64_MIN, take 24 and 20 bytes.
constexpr size_t kNumberChars = 64;

template <class T>
void append_shortest_to(std::string& out, T value) {
  if (std::isnan(value)) {
    out += "nan";
    return;
  }
  char buffer[kNumberChars];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, static_cast<size_t>(result.ptr - buffer));
}

template <class T>
std::string shortest(T value) {
  std::string text;
  append_shortest_to(text, value);
  return text;
}

template <class T>
void append_integer(std::string& out, T value) {
  char buffer[kNumberChars];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, static_cast<size_t>(result.ptr - buffer));
}

}  // namespace

std::string format_general(double value, int precision) { return general(value, precision); }
std::string format_general(float value, int precision) { return general(value, precision); }
std::string format_shortest(double value) { return shortest(value); }
std::string format_shortest(float value) { return shortest(value); }

std::string format_shortest_or_na(double value) {
  std::string text;
  append_shortest_or_na(text, value);
  return text;
}

std::string format_unsigned(uint64_t value) {
  std::string text;
  append_integer(text, value);
  return text;
}

void append_shortest(std::string& out, double value) { append_shortest_to(out, value); }
void append_shortest(std::string& out, float value) { append_shortest_to(out, value); }

void append_shortest_or_na(std::string& out, double value) {
  if (std::isnan(value)) {
    out += kNaText;
  } else {
    append_shortest_to(out, value);
  }
}

void append_unsigned(std::string& out, uint64_t value) { append_integer(out, value); }
void append_signed(std::string& out, int64_t value) { append_integer(out, value); }
