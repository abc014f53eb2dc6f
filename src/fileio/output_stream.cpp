#include "fileio/output_stream.h"

#include <unistd.h>

#include <cerrno>

StreamWrite write_stream(int fd, std::string_view bytes, const volatile std::sig_atomic_t& stop) {
  const char* data = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, data, left);
    if (n < 0) {
      if (errno == EINTR) {
        if (stop != 0) return StreamWrite::kInterrupted;
        continue;
      }
      return errno == EPIPE ? StreamWrite::kReaderGone : StreamWrite::kFailed;
    }
    if (n == 0) return StreamWrite::kFailed;
    data += n;
    left -= static_cast<size_t>(n);
    // A signal may also end a write early after some bytes: the next one
    // would wait for a reader that the interrupt means to stop waiting for.
    if (left > 0 && stop != 0) return StreamWrite::kInterrupted;
  }
  return StreamWrite::kDone;
}
