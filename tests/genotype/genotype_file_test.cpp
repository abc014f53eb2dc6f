// Reading through a bounded window: the same result as the whole text in
// memory whatever the window's size and wherever records straddle its edge,
// from files that can be read twice and from pipes that cannot, and memory
// bounded however long the input runs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "genotype/genotype_reader.h"
#include "genotype/genotype_test_util.h"

namespace {

using Status = GenotypeParseStatus;

// A seekable descriptor holding `text`, at its start.
int memory_file(const std::string& text) {
  const int fd = memfd_create("hwmc_genotype", MFD_CLOEXEC);
  EXPECT_GE(fd, 0);
  EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  EXPECT_EQ(lseek(fd, 0, SEEK_SET), 0);
  return fd;
}

// The read end of a pipe that holds `text` (small enough for the pipe).
int pipe_holding(const std::string& text) {
  int ends[2];
  EXPECT_EQ(pipe(ends), 0);
  EXPECT_EQ(write(ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(ends[1]);
  return ends[0];
}

GenotypeParse parse_through(int fd, size_t capacity) {
  TextWindow window;
  EXPECT_EQ(adopt_text_window(fd, &window, capacity), TextLoadStatus::kOk);
  GenotypeParse p = parse_genotype_window(window);
  EXPECT_FALSE(window.failed);
  return p;
}

void expect_same_parse(const GenotypeParse& got, const GenotypeParse& want, const std::string& what) {
  ASSERT_EQ(got.status, want.status) << what;
  EXPECT_EQ(got.k, want.k) << what;
  EXPECT_EQ(got.two_n, want.two_n) << what;
  ASSERT_EQ(got.table.size, want.table.size) << what;
  if (want.table.size != 0) {
    EXPECT_EQ(std::memcmp(got.table.data, want.table.data, want.table.size * sizeof(GenotypeCell)), 0)
        << what;
  }
  EXPECT_EQ(got.c1, want.c1) << what;
  EXPECT_EQ(got.c2, want.c2) << what;
  EXPECT_EQ(got.record_start, want.record_start) << what;
  EXPECT_EQ(got.record_end, want.record_end) << what;
  ASSERT_EQ(got.record_text_length, want.record_text_length) << what;
  EXPECT_EQ(std::memcmp(got.record_text, want.record_text, want.record_text_length), 0) << what;
}

// Genotype-like text with every kind of failure, long white space and long
// numbers, through windows from the smallest up, seekable and not.
TEST(GenotypeWindow, AnyWindowGivesTheResultOfTheWholeText) {
  const std::vector<std::string> pieces = {"aa", "ab", "Ba", "zz", "[{", "a1", "\xC0\xC0", ":", "-",
                                           ";", "0", "7", "12345678901234567890", "-3", "+4", " ",
                                           "\n", "\r\n", "\t\t\t\t\t\t\t\t\t\t", "\r", "\x1A"};
  std::mt19937 gen(2024);
  int failures = 0;
  for (int round = 0; round < 600; ++round) {
    std::string text = round % 7 == 0 ? std::string(40, ' ') + "ab:1" : "ab:1";
    const size_t n = gen() % 30;
    for (size_t i = 0; i < n; ++i) text += pieces[gen() % pieces.size()];
    const GenotypeParse want = parse_text(text);
    failures += want.status != Status::kOk;
    for (size_t capacity : {size_t{8}, size_t{9}, size_t{13}, kTextWindowBytes}) {
      const std::string what = "window " + std::to_string(capacity) + " text [" + text + "]";
      expect_same_parse(parse_through(memory_file(text), capacity), want, what);
      expect_same_parse(parse_through(pipe_holding(text), capacity), want, what + " from a pipe");
    }
  }
  EXPECT_GT(failures, 40);
}

// A record that starts in one window and ends in the next is still named as
// written, cut after 24 characters; the carriage returns before it shift it
// by one byte each.
TEST(GenotypeWindow, RecordAcrossTheWindowEdgeIsNamedWhole) {
  std::string text = "aa:5\r\n";
  for (int i = 0; i < 2000; ++i) text += "\r\n";
  text += std::string(kTextWindowBytes - 10 - text.size() + 2000, ' ');
  text += "bb:\r\n  12345678901234567890123456789\r\n";
  ASSERT_LT(text.find("bb:") - 2000 - 1, kTextWindowBytes);
  ASSERT_GT(text.find("bb:") + 30 - 2000 - 1, kTextWindowBytes);

  char name[] = "/tmp/hwmc_window_XXXXXX";
  const int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fd);
  const GenotypeRead read = read_genotype_file(name);
  std::remove(name);
  ASSERT_EQ(read.status, ReadStatus::kParseFailed);
  ASSERT_EQ(read.parse.status, Status::kCountTooLarge);
  EXPECT_EQ(read_failure_reason(read), "count too large in record \"bb:\\n  123456789012345678...\"");
}

TEST(GenotypeWindow, FileThatCannotBeReadIsAReadError) {
  EXPECT_EQ(parse_genotype_file("/nonexistent/hwmc/in.txt").load, TextLoadStatus::kCannotOpen);
  EXPECT_EQ(parse_genotype_file("/tmp").load, TextLoadStatus::kReadError);
  const GenotypeFileParse sample = parse_genotype_file(HWMC_SOURCE_DIR "/examples/sample.txt");
  ASSERT_EQ(sample.load, TextLoadStatus::kOk);
  EXPECT_EQ(sample.parse.two_n, 106);
}

// An endless input that does not start like a genotype file is refused once
// its first bytes are seen.
TEST(GenotypeWindow, EndlessZerosAreRefusedAtOnce) {
  TextWindow window;
  ASSERT_EQ(open_text_window("/dev/zero", &window), TextLoadStatus::kOk);
  EXPECT_EQ(parse_genotype_window(window).status, Status::kNotInputFile);
  EXPECT_LE(window.raw_bytes_read, kTextWindowBytes);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// A quarter gigabyte of blanks streams through a pipe while the process may
// grow by no more than 64 MiB: held whole, it would run out of memory.
void parse_blank_stream_within_limit(const std::string& head, const std::string& tail) {
  long pages = 0;
  std::ifstream("/proc/self/statm") >> pages;
  const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) +
                       (rlim_t{64} << 20);
  const rlimit cap{limit, limit};
  if (setrlimit(RLIMIT_AS, &cap) != 0) _exit(3);
  int ends[2];
  if (pipe(ends) != 0) _exit(3);
  std::thread writer([&] {
    const std::string blanks(1 << 20, ' ');
    bool ok = write(ends[1], head.data(), head.size()) == static_cast<ssize_t>(head.size());
    for (int i = 0; ok && i < 256; ++i)
      for (size_t done = 0; ok && done < blanks.size();) {
        const ssize_t n = write(ends[1], blanks.data() + done, blanks.size() - done);
        ok = n > 0;
        done += n > 0 ? static_cast<size_t>(n) : 0;
      }
    ok = ok && write(ends[1], tail.data(), tail.size()) == static_cast<ssize_t>(tail.size());
    close(ends[1]);
  });
  TextWindow window;
  GenotypeParse p;
  if (adopt_text_window(ends[0], &window) == TextLoadStatus::kOk) p = parse_genotype_window(window);
  writer.join();
  if (window.raw_bytes_read != head.size() + (size_t{256} << 20) + tail.size()) _exit(4);
  if (p.status == Status::kOutOfMemory) _exit(2);
  if (p.status == Status::kNotInputFile) _exit(10);
  _exit(p.status == Status::kOk && p.k == 36 && p.two_n == 6 ? 11 : 1);
}

TEST(GenotypeWindow, EndlessBlanksNeverHeldWhole) {
  if (kAddressSanitizer) GTEST_SKIP() << "the address sanitizer reserves address space beyond any limit";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(parse_blank_stream_within_limit("", ""), ::testing::ExitedWithCode(10), "");
  EXPECT_EXIT(parse_blank_stream_within_limit("ab:1", "cd:2"), ::testing::ExitedWithCode(11), "");
}

}  // namespace
