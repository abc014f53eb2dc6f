#include "runcount/count_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>

namespace {

constexpr int64_t kRetry_ns = 2'000'000;

int64_t now_ns() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

void pause_ns(int64_t ns) {
  timespec t{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
  nanosleep(&t, nullptr);
}

bool still_named_by(int fd, const char* path) {
  struct stat held, named;
  return ::fstat(fd, &held) == 0 && ::stat(path, &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

}  // namespace

int open_locked(const char* path, int patience_ms) {
  const int64_t give_up = now_ns() + static_cast<int64_t>(patience_ms) * 1'000'000;
  for (;;) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      if (still_named_by(fd, path)) return fd;
      ::close(fd);  // counted and replaced meanwhile: lock the new file
      if (now_ns() >= give_up) return -1;
      continue;
    }
    const int error = errno;
    ::close(fd);
    if ((error != EWOULDBLOCK && error != EINTR) || now_ns() >= give_up) return -1;
    pause_ns(kRetry_ns);
  }
}
