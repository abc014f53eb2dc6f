// Whole reads and writes on a file descriptor: a call interrupted by a
// signal is made again, a short transfer goes on where it stopped.
#pragma once

#include <sys/types.h>

#include <cstddef>

// Writes all size bytes; false on an error or when nothing more is taken.
bool write_all(int fd, const void* data, size_t size);

// Reads exactly size bytes at offset; false on an error or a short file.
bool read_exact_at(int fd, void* buffer, size_t size, off_t offset);

// One pread at offset: the bytes read (0 at the end), -1 on an error.
ssize_t read_at(int fd, void* buffer, size_t size, off_t offset);
