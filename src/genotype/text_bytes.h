// The bytes of a genotype file as the parser sees them: the file read in
// binary, every carriage return (13) dropped, and nothing from the first
// Ctrl-Z (0x1A) on. load_text_bytes holds the whole file (for tools and tests
// on small files); the reader reads through a bounded window instead
// (text_window.h). Failures are results, so the reader can choose the
// message; nothing here writes to the screen.
#pragma once

#include <cstddef>

#include "genotype/buffer.h"

enum class TextLoadStatus { kOk, kCannotOpen, kReadError, kOutOfMemory };

struct TextBytes {
  TextLoadStatus status = TextLoadStatus::kOk;
  Buffer<unsigned char> bytes;  // capacity; the data is bytes[0 .. length)
  size_t length = 0;
};

TextBytes load_text_bytes(const char* path);

// Drops carriage returns and cuts at the first 0x1A, in place; returns the
// new length.
size_t strip_text_bytes(unsigned char* data, size_t length);

// The same for one chunk of a file read piece by piece: `cut` tells that a
// Ctrl-Z ended the text within it.
struct TextChunk {
  size_t length;
  bool cut;
};
TextChunk strip_text_chunk(unsigned char* data, size_t length);
