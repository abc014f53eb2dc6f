#include "cli/command_text.h"

#include <algorithm>

namespace {

bool plain(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::string_view("-_./=:,+@%").find(c) != std::string_view::npos ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool control(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

}  // namespace

std::string shell_word(std::string_view word) {
  if (!word.empty() && std::all_of(word.begin(), word.end(), plain)) return std::string(word);
  std::string out;
  if (std::any_of(word.begin(), word.end(), control)) {
    // Inside '...' nothing is special but the quote itself.
    out += '\'';
    for (char c : word) {
      if (c == '\'') {
        out += "'\\''";
      } else {
        out += c;
      }
    }
    out += '\'';
    return out;
  }
  out += '"';
  for (char c : word) {
    if (c == '"' || c == '\\' || c == '$' || c == '`') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

std::string command_text(int argc, char** argv) {
  std::string out;
  for (int i = 0; i < argc; ++i) {
    if (i > 0) out += ' ';
    out += shell_word(argv[i]);
  }
  return out;
}
