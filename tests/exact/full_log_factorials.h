// The log-factorial table at its full size, for tests that call the exact
// tests' parts directly (built once per test program).
#pragma once

#include "exact/log_factorial.h"

inline const LogFactorials& full_log_factorials() {
  static const LogFactorials table = build_log_factorials(LogFactorials::kMaxEntries);
  return table;
}
