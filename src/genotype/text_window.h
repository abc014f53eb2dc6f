// A bounded window on a genotype file's text, for reading files of any
// length (or endless ones) in memory bounded by the window, not the file.
//
// The text is the one text_bytes.h defines: the file's bytes with every
// carriage return dropped and nothing from the first Ctrl-Z (0x1A) on. The
// window holds a stretch of it, bytes[0 .. length), starting at text offset
// `offset`; more_text_window drops what its reader is done with and reads on.
// A seekable file can be read again from its start (a second pass); a pipe or
// terminal cannot. Failures are results; nothing here writes to the screen.
#pragma once

#include <cstddef>
#include <cstdint>

#include "genotype/buffer.h"
#include "genotype/text_bytes.h"

constexpr size_t kTextWindowBytes = size_t{64} * 1024;
// The least capacity that still leaves room to read on after the few bytes of
// a record kept at the window's end.
constexpr size_t kTextWindowMinBytes = 8;

struct TextWindow {
  int fd = -1;                  // owned
  bool seekable = false;        // rewind_text_window can work
  Buffer<unsigned char> bytes;  // the capacity
  size_t length = 0;            // text held: bytes[0 .. length)
  size_t offset = 0;            // text offset of bytes[0]
  bool ended = false;           // end of file, Ctrl-Z or a failed read reached
  bool failed = false;          // a read failed (the text is incomplete)
  uint64_t raw_bytes_read = 0;  // bytes taken from the file, before stripping

  TextWindow() = default;
  TextWindow(const TextWindow&) = delete;
  TextWindow& operator=(const TextWindow&) = delete;
  ~TextWindow();
};

// Opens path for reading with a window of `capacity` bytes (at least
// kTextWindowMinBytes). kCannotOpen or kOutOfMemory on failure; a file that
// opens but cannot be read (a directory) shows up as `failed` once read.
TextLoadStatus open_text_window(const char* path, TextWindow* window,
                                size_t capacity = kTextWindowBytes);

// The same on an already open descriptor, which the window then owns.
TextLoadStatus adopt_text_window(int fd, TextWindow* window, size_t capacity = kTextWindowBytes);

// Drops the text before bytes[keep_from] (the rest moves to the front) and
// reads on until at least one more byte of text is held or the text ends.
// True when more text came.
bool more_text_window(TextWindow& window, size_t keep_from);

// Back to the start of the text, empty. False when the file cannot seek
// (nothing changed) or the seek fails (the window is then failed).
bool rewind_text_window(TextWindow& window);
