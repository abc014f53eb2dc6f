// The kernel's flags for the memory that holds an address, as the tests of
// where blocks come from read them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

// The VmFlags line of the mapping that holds `at`, from /proc/self/smaps
// (the address only: nothing is read there).
[[gnu::access(none, 1)]] inline std::string flags_of_mapping(const void* at) {
  const auto address = reinterpret_cast<uintptr_t>(at);
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  while (std::getline(smaps, line)) {
    unsigned long from = 0, to = 0;
    if (std::sscanf(line.c_str(), "%lx-%lx ", &from, &to) == 2) {
      inside = address >= from && address < to;
      continue;
    }
    if (inside && line.rfind("VmFlags:", 0) == 0) return line;
  }
  return "";
}
