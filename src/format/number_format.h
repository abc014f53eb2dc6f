// Numbers as text, the same in every locale ('.' as the decimal point):
// to_chars never consults it.
#pragma once

#include <cstdint>
#include <string>

// printf's "%.{precision}g" in the C locale; "nan" for NaN.
std::string format_general(double value, int precision);
std::string format_general(float value, int precision);
std::string format_unsigned(uint64_t value);
