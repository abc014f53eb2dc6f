// The lines of a plain text file (.bim, .fam) read in large chunks and handed
// out in place: a line is a view into the chunk, valid until the next call.
// A line is the text before each '\n', less one '\r' before it, and a last
// line without its '\n'. The reader can be put back at the start of any line
// it has handed out (its offset and number), so that a file indexed in one
// pass can be read again from where a region starts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fileio/unique_fd.h"

struct TextFile {
  UniqueFd fd{-1};
  std::string chunk;          // grows to hold the longest line
  size_t start = 0;           // the next line begins here
  size_t end = 0;             // bytes of chunk read
  uint64_t chunk_offset = 0;  // the file offset of chunk[0]
  uint64_t line = 0;          // the number of the line handed out last (1-based)
  bool eof = false;
};

enum class TextRead { kLine, kEnd, kError };

bool open_text_file(const char* path, TextFile& f);

TextRead next_text_line(TextFile& f, std::string_view& line);

// Where the line after the last one handed out starts.
inline uint64_t next_line_offset(const TextFile& f) { return f.chunk_offset + f.start; }

// The next line handed out is the one starting at offset, numbered line + 1.
void seek_text_line(TextFile& f, uint64_t offset, uint64_t line);

// Splits a line at runs of spaces and tabs: stores up to `most` fields and
// gives how many there are in all.
size_t split_fields(std::string_view line, std::string_view* fields, size_t most);

// Whether text is `lower_case` in any case (ASCII letters).
bool same_word(std::string_view text, std::string_view lower_case);

inline bool is_blank_line(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}
