// An exclusive advisory lock (flock) on an open file for as long as the
// guard lives: processes that append to the same file take turns. Waits for
// the lock; a file system without flock leaves the guard unlocked, which
// only loses the protection, never the write.
#pragma once

struct FileLock {
  int fd = -1;

  explicit FileLock(int file);
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();
};
