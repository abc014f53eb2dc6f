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

template <class T>
std::string shortest(T value) {
  if (std::isnan(value)) return "nan";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string format_general(double value, int precision) { return general(value, precision); }
std::string format_general(float value, int precision) { return general(value, precision); }
std::string format_shortest(double value) { return shortest(value); }
std::string format_shortest(float value) { return shortest(value); }

std::string format_shortest_or_na(double value) {
  return std::isnan(value) ? std::string(kNaText) : shortest(value);
}

std::string format_unsigned(uint64_t value) {
  char text[24];
  const auto end = std::to_chars(text, text + sizeof text, value);
  return std::string(text, end.ptr);
}
