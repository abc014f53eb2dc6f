#include "report/output_trim.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fileio/fd_io.h"
#include "fileio/unique_fd.h"

namespace {

constexpr unsigned char kEndOfFileMark = 26;

}  // namespace

void trim_output_tail(const char* path) {
  UniqueFd file(::open(path, O_RDWR | O_CLOEXEC));
  if (!file.is_open()) return;
  struct stat info;
  if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) return;
  const FileLock lock(file.fd);
  trim_locked_output_tail(file.fd);
}

void trim_locked_output_tail(int fd) {
  // Measured under the lock: the length seen before it may already be old.
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return;
  const off_t length = info.st_size;
  if (length <= 0) return;

  // The scan runs back from the last byte one byte at a time; it reads a
  // block at a time only to spare system calls on a long run of marks.
  unsigned char block[4096];
  off_t end = length;
  while (end > 0) {
    const off_t start = end > static_cast<off_t>(sizeof block) ? end - static_cast<off_t>(sizeof block) : 0;
    const size_t size = static_cast<size_t>(end - start);
    if (!read_exact_at(fd, block, size, start)) return;
    for (size_t n = size; n > 0; --n) {
      if (block[n - 1] != kEndOfFileMark) {
        const off_t keep = start + static_cast<off_t>(n);
        if (keep < length) (void)::ftruncate(fd, keep);
        return;
      }
    }
    end = start;
  }
  // Nothing but marks: the file stays as it is.
}
