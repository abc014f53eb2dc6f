#include "plink/plink_failure.h"

PlinkFailure plink_failure(PlinkStatus status, std::string file, uint64_t line,
                           std::string reason) {
  PlinkFailure f;
  f.status = status;
  f.file = std::move(file);
  f.line = line;
  f.reason = std::move(reason);
  return f;
}

std::string describe_plink_failure(const PlinkFailure& f) {
  if (f.line == 0) return f.reason;
  return "line " + std::to_string(f.line) + ": " + f.reason;
}
