#include "report/report_sink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "fileio/fd_io.h"
#include "report/output_trim.h"

namespace {

SinkResult failure(AppendResult status, int error) { return SinkResult{status, error}; }

bool is_stream_path(const char* path) {
  struct stat info;
  return ::stat(path, &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

}  // namespace

SinkResult open_report_sink(ReportSink& sink, const char* path, bool trim_tail) {
  sink.file.close_now();
  // A FIFO opened for reading too would never see its reader leave, and
  // its reader would see the end at every close: write only, once.
  const int flags = is_stream_path(path) ? O_WRONLY | O_CLOEXEC
                                         : O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC;
  int fd;
  do {
    fd = ::open(path, flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return failure(AppendResult::kOpenFailed, errno);
  sink.file.fd = fd;
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    sink.file.close_now();
    return failure(AppendResult::kOpenFailed, error);
  }
  sink.stream = !S_ISREG(info.st_mode);
  if (trim_tail && !sink.stream) {
    const FileLock lock(fd);
    trim_locked_output_tail(fd);
  }
  return SinkResult{};
}

SinkResult append_to_sink(ReportSink& sink, std::string_view bytes) {
  if (!sink.file.is_open()) return failure(AppendResult::kWriteFailed, EBADF);
  if (sink.stream) {
    if (write_all(sink.file.fd, bytes.data(), bytes.size())) return SinkResult{};
    return failure(AppendResult::kWriteFailed, errno != 0 ? errno : EIO);
  }
  const FileLock lock(sink.file.fd);
  struct stat info;
  if (::fstat(sink.file.fd, &info) != 0) return failure(AppendResult::kWriteFailed, errno);
  errno = 0;
  if (write_all(sink.file.fd, bytes.data(), bytes.size())) return SinkResult{};
  const int error = errno != 0 ? errno : ENOSPC;  // a write that took nothing
  // Nobody else appends while the lock is held: the length before this
  // report is still where it ends.
  (void)::ftruncate(sink.file.fd, info.st_size);
  return failure(AppendResult::kWriteFailed, error);
}

SinkResult close_report_sink(ReportSink& sink) {
  if (sink.file.close_now() != 0) return failure(AppendResult::kWriteFailed, errno);
  return SinkResult{};
}
