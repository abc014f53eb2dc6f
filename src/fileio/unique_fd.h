// An owned POSIX file descriptor, closed when it goes out of scope; a close
// whose result matters is made with close_now (or after release).
#pragma once

#include <unistd.h>

struct UniqueFd {
  int fd = -1;

  explicit UniqueFd(int f) : fd(f) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { close_now(); }
  bool is_open() const { return fd >= 0; }
  int release() {
    int f = fd;
    fd = -1;
    return f;
  }
  // Closes at once; the close's result (0, or -1 with errno).
  int close_now() {
    int rc = 0;
    if (fd >= 0) rc = ::close(fd);
    fd = -1;
    return rc;
  }
};
