// An owned POSIX file descriptor, closed when it goes out of scope unless it
// was released for a close whose result the owner checks itself.
#pragma once

#include <unistd.h>

struct UniqueFd {
  int fd = -1;

  explicit UniqueFd(int f) : fd(f) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() {
    if (fd >= 0) ::close(fd);
  }
  bool is_open() const { return fd >= 0; }
  int release() {
    int f = fd;
    fd = -1;
    return f;
  }
};
