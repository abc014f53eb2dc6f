#include "batch/heap_pages.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>  // and with it what tells the C library
#include <fstream>
#include <string>

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
#include <malloc.h>
#include <unistd.h>

extern char end;  // the end of the program's data: the main heap starts beyond it
#endif

// The program links mimalloc in place of the C library's malloc where it is
// installed (the tests' programs do not): its settings are then what
// counts. Weak, so that a program without it finds null here.
#if !defined(__SANITIZE_ADDRESS__) && __has_include(<mimalloc.h>)
#include <mimalloc.h>
extern "C" {
__attribute__((weak)) void mi_option_set(mi_option_t option, long value);
}
#define HWMC_MAY_RUN_ON_MIMALLOC 1
#endif

#if defined(HWMC_MAY_RUN_ON_MIMALLOC)
namespace {

// The memory mimalloc took before the options below were set (its first
// share of the main thread's, made as the program loaded): advised as a
// whole, found in the process's map by a block it holds.
void advise_mapping_of(const void* block) {
  const auto at = reinterpret_cast<uintptr_t>(block);
  FILE* maps = std::fopen("/proc/self/maps", "re");
  if (maps == nullptr) return;
  char line[512];
  while (std::fgets(line, sizeof line, maps) != nullptr) {
    unsigned long from = 0, to = 0;
    char perms[5] = {};
    int path_at = 0;
    if (std::sscanf(line, "%lx-%lx %4s %*s %*s %*s %n", &from, &to, perms, &path_at) < 3) continue;
    if (at < from || at >= to) continue;
    // Anonymous, and private to the program: no file, no name such as [heap].
    const bool anonymous = path_at > 0 && (line[path_at] == '\0' || line[path_at] == '\n');
    if (anonymous && perms[0] == 'r' && perms[1] == 'w' && perms[3] == 'p')
      ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    break;
  }
  std::fclose(maps);
}

}  // namespace
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
  if (!huge_pages_on_request()) return false;
#if defined(HWMC_MAY_RUN_ON_MIMALLOC)
  if (mi_option_set != nullptr) {
    // Memory taken from the system from here on comes in huge pages (it
    // asks for reserved ones first, then advises transparent ones), each
    // thread's first share included, committed as it is taken.
    mi_option_set(mi_option_large_os_pages, 1);
    mi_option_set(mi_option_eager_commit_delay, 0);
    void* block = std::malloc(64);
    if (block != nullptr) advise_mapping_of(block);
    std::free(block);
    return true;
  }
#endif
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
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
  // The block lies between the end of the program's data and the break only
  // where the C library's heap gave it: a malloc put in its place (as the
  // program links one) keeps its blocks elsewhere, and these settings mean
  // nothing to it.
  const auto at = reinterpret_cast<uintptr_t>(first);
  const uintptr_t from = (at + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t to = reinterpret_cast<uintptr_t>(::sbrk(0));
  const bool in_main_heap = at >= reinterpret_cast<uintptr_t>(&end) && at < to;
  const bool advised = in_main_heap && to > from &&
                       ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE) == 0;
  std::free(first);
  return advised;
#else
  return false;
#endif
}
