#include "genotype/text_window.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

TextWindow::~TextWindow() {
  if (fd >= 0) ::close(fd);
}

TextLoadStatus adopt_text_window(int fd, TextWindow* window, size_t capacity) {
  window->fd = fd;
  window->seekable = ::lseek(fd, 0, SEEK_CUR) != static_cast<off_t>(-1);
  if (capacity < kTextWindowMinBytes) capacity = kTextWindowMinBytes;
  if (!window->bytes.allocate(capacity)) return TextLoadStatus::kOutOfMemory;
  return TextLoadStatus::kOk;
}

TextLoadStatus open_text_window(const char* path, TextWindow* window, size_t capacity) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return TextLoadStatus::kCannotOpen;
  return adopt_text_window(fd, window, capacity);
}

bool more_text_window(TextWindow& w, size_t keep_from) {
  if (keep_from > w.length) keep_from = w.length;
  const size_t kept = w.length - keep_from;
  if (kept != 0 && keep_from != 0) std::memmove(w.bytes.data, w.bytes.data + keep_from, kept);
  w.offset += keep_from;
  w.length = kept;
  // A chunk of nothing but carriage returns adds no text: read again.
  while (!w.ended && w.length < w.bytes.size) {
    const ssize_t got = ::read(w.fd, w.bytes.data + w.length, w.bytes.size - w.length);
    if (got < 0) {
      if (errno == EINTR) continue;
      w.failed = true;  // e.g. a directory, or a failing disk
      w.ended = true;
      break;
    }
    if (got == 0) {
      w.ended = true;
      break;
    }
    w.raw_bytes_read += static_cast<uint64_t>(got);
    const TextChunk chunk = strip_text_chunk(w.bytes.data + w.length, static_cast<size_t>(got));
    w.length += chunk.length;
    if (chunk.cut) w.ended = true;
    if (chunk.length != 0) break;
  }
  return w.length > kept;
}

bool rewind_text_window(TextWindow& w) {
  if (!w.seekable) return false;
  if (::lseek(w.fd, 0, SEEK_SET) != 0) {
    w.failed = true;
    w.ended = true;
    return false;
  }
  w.length = 0;
  w.offset = 0;
  w.ended = w.failed;  // a failed read is not tried again
  return true;
}
