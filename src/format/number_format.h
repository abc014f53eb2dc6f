// Numbers as text, the same in every locale ('.' as the decimal point):
// to_chars never consults it.
#pragma once

#include <cstdint>
#include <string>

// printf's "%.{precision}g" in the C locale; "nan" for NaN.
std::string format_general(double value, int precision);
std::string format_general(float value, int precision);

// The shortest decimal that reads back to the same value in its own type
// (a float as a float, a double as a double), in fixed or exponent form,
// whichever is shorter (fixed on a tie): 7.815f gives "7.815", 1e-5 gives
// "1e-05", 0.0001 "0.0001". "nan" for NaN.
std::string format_shortest(double value);
std::string format_shortest(float value);

// A figure without a value in a table cell. NaN stands for that value
// wherever a figure is kept, so every table writes it through here.
inline constexpr const char kNaText[] = "NA";
// format_shortest, or NA for NaN.
std::string format_shortest_or_na(double value);

std::string format_unsigned(uint64_t value);

// The same texts appended to `out`: a row of many cells then grows one
// string instead of making one per number.
void append_shortest(std::string& out, double value);
void append_shortest(std::string& out, float value);
void append_shortest_or_na(std::string& out, double value);
void append_unsigned(std::string& out, uint64_t value);
void append_signed(std::string& out, int64_t value);
