#include "genotype/text_bytes.h"

#include <cstdio>
#include <memory>

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

constexpr size_t kFirstCapacity = 4096;

TextBytes failed(TextLoadStatus status) {
  TextBytes text;
  text.status = status;
  return text;
}

}  // namespace

TextChunk strip_text_chunk(unsigned char* data, size_t length) {
  size_t out = 0;
  for (size_t in = 0; in < length; ++in) {
    const unsigned char c = data[in];
    if (c == 0x1A) return TextChunk{out, true};
    if (c != 13) data[out++] = c;
  }
  return TextChunk{out, false};
}

size_t strip_text_bytes(unsigned char* data, size_t length) {
  return strip_text_chunk(data, length).length;
}

TextBytes load_text_bytes(const char* path) {
  FileHandle file(std::fopen(path, "rb"));
  if (!file) return failed(TextLoadStatus::kCannotOpen);
  TextBytes text;
  if (!text.bytes.allocate(kFirstCapacity)) return failed(TextLoadStatus::kOutOfMemory);
  for (;;) {
    if (text.length == text.bytes.size) {
      const size_t grown = text.bytes.size * 2;
      if (grown <= text.bytes.size || !text.bytes.resize(grown))
        return failed(TextLoadStatus::kOutOfMemory);
    }
    const size_t room = text.bytes.size - text.length;
    const size_t got = std::fread(text.bytes.data + text.length, 1, room, file.get());
    // Stripping chunk by chunk keeps the buffer no larger than the data and
    // stops the reading at a Ctrl-Z.
    const TextChunk chunk = strip_text_chunk(text.bytes.data + text.length, got);
    text.length += chunk.length;
    if (chunk.cut) break;
    if (got < room) {
      // A directory opens on Linux but cannot be read; so can a failing disk.
      if (std::ferror(file.get())) return failed(TextLoadStatus::kReadError);
      break;
    }
  }
  return text;
}
