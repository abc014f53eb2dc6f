// Whole reads and writes on a file descriptor: a call interrupted by a
// signal is made again, a short transfer goes on where it stopped; and a
// lock on an open file.
#pragma once

#include <sys/types.h>

#include <cstddef>

// Writes all size bytes; false on an error or when nothing more is taken.
bool write_all(int fd, const void* data, size_t size);

// Reads exactly size bytes at offset; false on an error or a short file.
bool read_exact_at(int fd, void* buffer, size_t size, off_t offset);

// One pread at offset: the bytes read (0 at the end), -1 on an error.
ssize_t read_at(int fd, void* buffer, size_t size, off_t offset);

// An exclusive advisory lock (flock) on an open file for as long as the
// guard lives: processes that append to the same file take turns. Waits for
// the lock; a file system without flock leaves the guard unlocked, which
// only loses the protection, never the write.
struct FileLock {
  int fd = -1;

  explicit FileLock(int file);
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();
};
