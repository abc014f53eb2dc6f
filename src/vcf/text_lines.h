// The lines of a BGZF (or gzip) stream read in large chunks and handed out
// in place, without the copy of each line that hts_getline makes: the line
// is a view into the chunk, valid until the next call. Lines are what
// hts_getline gives: the text before each '\n', less one '\r' before it, and
// a last line without its '\n'.
#pragma once

#include <htslib/bgzf.h>

#include <cstddef>
#include <string>
#include <string_view>

struct TextLines {
  std::string chunk;  // grows to hold the longest line
  size_t start = 0;   // the next line begins here
  size_t end = 0;     // bytes of chunk read
  bool eof = false;
  bool unterminated = false;  // the line handed out last had no '\n' (the data's end)
};

enum class LineRead { kLine, kEnd, kError };

// chunk_bytes: the most bytes one read takes (a read also stops at the end
// of a BGZF block, so that a block that cannot be read fails the read only
// after every line before it). kError: the stream could not be read.
LineRead read_text_line(BGZF* in, TextLines& lines, std::string_view& line,
                        size_t chunk_bytes = size_t{1} << 16);
