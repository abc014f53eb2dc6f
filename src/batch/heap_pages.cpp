#include "batch/heap_pages.h"

#include <cstdint>
#include <cstdlib>  // and with it what tells the C library
#include <fstream>
#include <string>

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

// The kernel's setting reads "always [madvise] never", the one in force in
// brackets: huge pages come on request unless it is "never".
bool huge_pages_on_request() {
  std::ifstream in("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string setting;
  std::getline(in, setting);
  return setting.find("[always]") != std::string::npos ||
         setting.find("[madvise]") != std::string::npos;
}

bool prefer_large_heap_pages() {
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  if (!huge_pages_on_request()) return false;
  // Up to 32 MiB (as far as the library's own sliding threshold ever goes) a
  // block comes from the heap, not from a mapping of its own that is given
  // back, and faulted in afresh, on every free; what is freed is kept, not
  // trimmed.
  if (::mallopt(M_MMAP_THRESHOLD, 32 << 20) == 0) return false;
  ::mallopt(M_TRIM_THRESHOLD, 1 << 30);
  // The main heap grows 64 MiB at a time, so that one advice covers what
  // most runs ever use of it; the first block makes it grow.
  ::mallopt(M_TOP_PAD, 64 << 20);
  void* first = std::malloc(1 << 20);
  if (first == nullptr) return false;
  const uintptr_t from = (reinterpret_cast<uintptr_t>(first) + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t to = reinterpret_cast<uintptr_t>(::sbrk(0));
  const bool advised =
      to > from && ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE) == 0;
  std::free(first);
  return advised;
#else
  return false;
#endif
}
