// Text from the run (file names, population and locus names, the command
// line) made safe inside an HTML or XML page: markup characters become
// entities, and what no XML parser accepts (control characters other than
// tab, line feed and carriage return; bytes that are not UTF-8) becomes
// U+FFFD, so that no name can break or end the page.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

std::string escape_markup(std::string_view text);
void append_markup(std::string& out, std::string_view text);

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

struct CodePoint {
  char32_t value = 0;
  size_t bytes = 1;
};

// The code point at the start of `text` (not empty) and the bytes it takes;
// a byte that starts no well-formed sequence (or one no XML parser takes) is
// U+FFFD on its own, as the page writes it.
CodePoint first_code_point(std::string_view text);
