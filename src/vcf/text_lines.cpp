#include "vcf/text_lines.h"

#include <algorithm>
#include <cstring>

namespace {

// Reads at most `most` bytes and never beyond the current BGZF block, so that
// a block that cannot be read fails only once every line before it has been
// handed out, as with hts_getline (the line a message names stays right).
// Gives the bytes read, 0 at the end, -1 on a failure.
ssize_t read_within_block(BGZF* in, char* to, size_t most) {
  if (in->block_offset >= in->block_length) {
    if (bgzf_read_block(in) < 0) return -1;
    if (in->block_length == 0) return 0;
  }
  const size_t available = static_cast<size_t>(in->block_length - in->block_offset);
  return bgzf_read(in, to, std::min(most, available));
}

}  // namespace

LineRead read_text_line(BGZF* in, TextLines& t, std::string_view& line, size_t chunk_bytes) {
  for (;;) {
    const char* data = t.chunk.data();
    const void* newline = std::memchr(data + t.start, '\n', t.end - t.start);
    if (newline != nullptr || (t.eof && t.start < t.end)) {
      const char* stop = newline ? static_cast<const char*>(newline) : data + t.end;
      size_t length = static_cast<size_t>(stop - (data + t.start));
      line = std::string_view(data + t.start, length);
      t.start = newline ? static_cast<size_t>(stop - data) + 1 : t.end;
      t.unterminated = newline == nullptr;
      if (length > 0 && line.back() == '\r') line.remove_suffix(1);
      return LineRead::kLine;
    }
    if (t.eof) return LineRead::kEnd;
    // The unfinished line moves to the front; a chunk it fills grows.
    const size_t kept = t.end - t.start;
    if (t.start > 0) std::memmove(t.chunk.data(), data + t.start, kept);
    t.start = 0;
    t.end = kept;
    if (t.chunk.size() < kept + chunk_bytes) t.chunk.resize(kept + chunk_bytes);
    const ssize_t got = read_within_block(in, t.chunk.data() + t.end, t.chunk.size() - t.end);
    if (got < 0) return LineRead::kError;
    if (got == 0) t.eof = true;
    t.end += static_cast<size_t>(got);
  }
}
