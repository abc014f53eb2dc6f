#include "html/svg_number.h"

#include <charconv>
#include <cmath>

void append_coord(std::string& out, double value) {
  if (!std::isfinite(value)) value = 0;
  // Tenths as an integer: no "-0" and no trailing ".0" to trim.
  const double tenths = std::round(value * 10);
  long long t = static_cast<long long>(tenths);
  if (t < 0) {
    out += '-';
    t = -t;
  }
  char buffer[32];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, t / 10);
  out.append(buffer, r.ptr);
  if (t % 10 != 0) {
    out += '.';
    out += static_cast<char>('0' + t % 10);
  }
}

std::string coord(double value) {
  std::string s;
  append_coord(s, value);
  return s;
}

std::string u_tests_text(double deficit, double excess, const char* suffix) {
  if (std::isnan(deficit) && std::isnan(excess)) return "";
  return std::string(", p_u_deficit") + suffix + " " + figure(deficit) + ", p_u_excess" + suffix +
         " " + figure(excess);
}

std::string figure(double value) {
  if (std::isnan(value)) return "NA";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char buffer[64];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 4);
  return std::string(buffer, r.ptr);
}
