#include "plink/text_file.h"

#include <fcntl.h>

#include <cstring>

#include "fileio/fd_io.h"

namespace {

constexpr size_t kChunkBytes = size_t{1} << 18;

}  // namespace

bool open_text_file(const char* path, TextFile& f) {
  f.fd.close_now();
  f.fd.fd = ::open(path, O_RDONLY | O_CLOEXEC);
  seek_text_line(f, 0, 0);
  if (!f.fd.is_open()) return false;
  ::posix_fadvise(f.fd.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return true;
}

void seek_text_line(TextFile& f, uint64_t offset, uint64_t line) {
  // A line still in the chunk is handed out from there.
  if (offset >= f.chunk_offset && offset <= f.chunk_offset + f.end) {
    f.start = static_cast<size_t>(offset - f.chunk_offset);
  } else {
    f.chunk_offset = offset;
    f.start = f.end = 0;
    f.eof = false;
  }
  f.line = line;
}

TextRead next_text_line(TextFile& f, std::string_view& line) {
  for (;;) {
    const char* data = f.chunk.data();
    const void* newline = std::memchr(data + f.start, '\n', f.end - f.start);
    if (newline != nullptr || (f.eof && f.start < f.end)) {
      const char* stop = newline ? static_cast<const char*>(newline) : data + f.end;
      const size_t length = static_cast<size_t>(stop - (data + f.start));
      line = std::string_view(data + f.start, length);
      f.start = newline ? static_cast<size_t>(stop - data) + 1 : f.end;
      if (length > 0 && line.back() == '\r') line.remove_suffix(1);
      ++f.line;
      return TextRead::kLine;
    }
    if (f.eof) return TextRead::kEnd;
    // The unfinished line moves to the front; a chunk it fills grows.
    const size_t kept = f.end - f.start;
    if (f.start > 0) std::memmove(f.chunk.data(), data + f.start, kept);
    f.chunk_offset += f.start;
    f.start = 0;
    f.end = kept;
    if (f.chunk.size() < kept + kChunkBytes) f.chunk.resize(kept + kChunkBytes);
    const ssize_t got = read_at(f.fd.fd, f.chunk.data() + f.end, f.chunk.size() - f.end,
                                static_cast<off_t>(f.chunk_offset + f.end));
    if (got < 0) return TextRead::kError;
    if (got == 0) f.eof = true;
    f.end += static_cast<size_t>(got);
  }
}

namespace {

struct Separators {
  bool is[256] = {};
  constexpr Separators() {
    is[static_cast<unsigned char>(' ')] = is[static_cast<unsigned char>('\t')] = true;
  }
};

constexpr Separators kSeparators;

inline bool separates(char c) { return kSeparators.is[static_cast<unsigned char>(c)]; }

}  // namespace

size_t split_fields(std::string_view line, std::string_view* fields, size_t most) {
  const char* at = line.data();
  const char* const end = at + line.size();
  size_t count = 0;
  for (;;) {
    while (at != end && separates(*at)) ++at;
    if (at == end) return count;
    const char* const first = at;
    while (at != end && !separates(*at)) ++at;
    if (count < most) fields[count] = std::string_view(first, static_cast<size_t>(at - first));
    ++count;
  }
}

bool same_word(std::string_view text, std::string_view lower_case) {
  if (text.size() != lower_case.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c =
        text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
    if (c != lower_case[i]) return false;
  }
  return true;
}
