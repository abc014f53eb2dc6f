#include "fileio/fd_io.h"

#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

bool write_all(int fd, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

ssize_t read_at(int fd, void* buffer, size_t size, off_t offset) {
  for (;;) {
    const ssize_t n = ::pread(fd, buffer, size, offset);
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

bool read_exact_at(int fd, void* buffer, size_t size, off_t offset) {
  char* bytes = static_cast<char*>(buffer);
  while (size > 0) {
    const ssize_t n = read_at(fd, bytes, size, offset);
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
    offset += n;
  }
  return true;
}

FileLock::FileLock(int file) {
  int rc;
  do {
    rc = ::flock(file, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  if (rc == 0) fd = file;
}

FileLock::~FileLock() {
  if (fd >= 0) ::flock(fd, LOCK_UN);
}
