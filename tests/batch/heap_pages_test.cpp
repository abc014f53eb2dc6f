#include "batch/heap_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// The VmFlags line of the mapping that holds `at`, from /proc/self/smaps.
std::string flags_of_mapping(const void* at) {
  const auto address = reinterpret_cast<uintptr_t>(at);
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  while (std::getline(smaps, line)) {
    uintptr_t from = 0, to = 0;
    char dash = 0;
    std::istringstream range(line);
    if (range >> std::hex >> from >> dash >> to && dash == '-') {
      inside = address >= from && address < to;
      continue;
    }
    if (inside && line.rfind("VmFlags:", 0) == 0) return line;
  }
  return "";
}

// A block of the kind a run's tables and rows take lies in memory the
// kernel was asked to back with huge pages, wherever it grants them on
// request; elsewhere the run is told its pages are small.
TEST(HeapPages, ABlockOfTheHeapIsAdvisedForHugePages) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's allocator takes no such settings";
#endif
  const bool large = prefer_large_heap_pages();
  if (!huge_pages_on_request()) {
    EXPECT_FALSE(large);
    GTEST_SKIP() << "this system grants no huge pages on request";
  }
  ASSERT_TRUE(large);
  void* block = std::malloc(size_t{8} << 20);
  ASSERT_NE(block, nullptr);
  const std::string flags = flags_of_mapping(static_cast<char*>(block) + (size_t{4} << 20));
  std::free(block);
  EXPECT_NE(flags.find(" hg"), std::string::npos) << flags;
}

}  // namespace
