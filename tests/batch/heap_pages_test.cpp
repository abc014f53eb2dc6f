#include "batch/heap_pages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "batch/mapping_flags.h"

namespace {

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
