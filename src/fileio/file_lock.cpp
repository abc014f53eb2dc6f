#include "fileio/file_lock.h"

#include <sys/file.h>

#include <cerrno>

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
