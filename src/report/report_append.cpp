#include "report/report_append.h"

#include <fcntl.h>

#include "fileio/fd_io.h"
#include "fileio/unique_fd.h"
#include "report/report_text.h"

AppendResult append_to_file(const char* path, const std::string& bytes) {
  UniqueFd file(::open(path, O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
  if (!file.is_open()) return AppendResult::kOpenFailed;
  if (!write_all(file.fd, bytes.data(), bytes.size())) return AppendResult::kWriteFailed;
  // A delayed write error (a full disk on a network file system, say) may
  // only show at the close.
  if (file.close_now() != 0) return AppendResult::kWriteFailed;
  return AppendResult::kDone;
}

AppendResult append_report(const char* path, const char* input_name, const UnitResult& results,
                           const std::tm& when) {
  return append_to_file(path, build_report_bytes(input_name, results, when));
}

std::tm local_now() {
  std::tm when{};
  std::time_t now = std::time(nullptr);
  localtime_r(&now, &when);
  return when;
}
