#include "montecarlo/memory_budget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "montecarlo/replicate.h"

namespace {

uint64_t page_bytes() {
  const long page = ::sysconf(_SC_PAGESIZE);
  return page > 0 ? static_cast<uint64_t>(page) : 4096u;
}

// MemAvailable counts what can be reclaimed (caches) too; free memory alone
// would refuse experiments that fit. Without it, the physical pages.
uint64_t physical_available() {
  if (std::FILE* f = std::fopen("/proc/meminfo", "r")) {
    char line[256];
    unsigned long long kib = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, f) != nullptr)
      found = std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1;
    std::fclose(f);
    if (found) return static_cast<uint64_t>(kib) * 1024u;
  }
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  return pages > 0 ? static_cast<uint64_t>(pages) * page_bytes() : UINT64_MAX;
}

uint64_t address_space_left() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return UINT64_MAX;
  uint64_t in_use = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    unsigned long long pages = 0;
    if (std::fscanf(f, "%llu", &pages) == 1) in_use = static_cast<uint64_t>(pages) * page_bytes();
    std::fclose(f);
  }
  const uint64_t cap = static_cast<uint64_t>(limit.rlim_cur);
  return cap > in_use ? cap - in_use : 0;
}

}  // namespace

uint64_t workspace_bytes(int64_t two_n, int64_t cells) {
  const uint64_t per_cell =
      sizeof(int32_t) + sizeof(float) + sizeof(CellExpectation) + sizeof(uint32_t);
  return static_cast<uint64_t>(two_n) * sizeof(AlleleSlot) + static_cast<uint64_t>(cells) * per_cell;
}

uint64_t usable_memory_bytes() { return std::min(physical_available(), address_space_left()); }
