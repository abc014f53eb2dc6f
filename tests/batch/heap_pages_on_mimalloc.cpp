// The program's memory where it runs on mimalloc: this test program is
// linked as the program is (mimalloc, and the program's operator new).
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <thread>

#include "batch/heap_pages.h"
#include "batch/mapping_flags.h"

namespace {

[[gnu::access(none, 1)]] bool advised(const void* at) {
  return flags_of_mapping(at).find(" hg") != std::string::npos;
}

// Every thread's memory, the main thread's first share (taken as the
// program loaded, before any setting) included, lies where the kernel was
// asked for huge pages.
TEST(HeapPagesOnMimalloc, EveryThreadsBlocksAreAdvisedForHugePages) {
  const bool large = prefer_large_heap_pages();
  if (!huge_pages_on_request()) {
    EXPECT_FALSE(large);
    GTEST_SKIP() << "this system grants no huge pages on request";
  }
  ASSERT_TRUE(large);
  void* small = std::malloc(64);
  void* large_block = std::malloc(size_t{8} << 20);
  ASSERT_NE(small, nullptr);
  ASSERT_NE(large_block, nullptr);
  EXPECT_TRUE(advised(small)) << flags_of_mapping(small);
  EXPECT_TRUE(advised(static_cast<char*>(large_block) + (size_t{4} << 20)))
      << flags_of_mapping(large_block);
  bool on_thread = false;
  std::thread([&on_thread] {
    void* block = std::malloc(4096);
    on_thread = block != nullptr && advised(block);
    std::free(block);
  }).join();
  EXPECT_TRUE(on_thread);
  std::free(small);
  std::free(large_block);
}

// Memory that cannot be had is std::bad_alloc, which the front ends turn
// into "out of memory" for one file: mimalloc's own operator new would end
// the process.
TEST(HeapPagesOnMimalloc, NewBeyondMemoryThrowsBadAlloc) {
  const size_t beyond = size_t{1} << 60;
  // Called, not new-expressions, which the compiler may leave out unused.
  EXPECT_THROW(::operator delete(::operator new(beyond)), std::bad_alloc);
  EXPECT_THROW(::operator delete[](::operator new[](beyond)), std::bad_alloc);
  EXPECT_THROW(
      ::operator delete (::operator new (beyond, std::align_val_t{64}), std::align_val_t{64}),
      std::bad_alloc);
}

}  // namespace
