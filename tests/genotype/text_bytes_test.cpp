#include "genotype/text_bytes.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

class TempFile {
 public:
  explicit TempFile(const std::string& contents) {
    char name[] = "/tmp/hwmc_text_bytes_XXXXXX";
    const int fd = mkstemp(name);
    path_ = name;
    if (fd >= 0) {
      const ssize_t written = write(fd, contents.data(), contents.size());
      EXPECT_EQ(written, static_cast<ssize_t>(contents.size()));
      close(fd);
    }
  }
  ~TempFile() { std::remove(path_.c_str()); }
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

std::string text_of(const TextBytes& t) {
  return std::string(reinterpret_cast<const char*>(t.bytes.data), t.length);
}

TEST(TextBytes, StripDropsCarriageReturnsAndCutsAtCtrlZ) {
  std::string s = "a\r\nb\rc\x1A\r\nd";
  const size_t n = strip_text_bytes(reinterpret_cast<unsigned char*>(s.data()), s.size());
  EXPECT_EQ(s.substr(0, n), "a\nbc");
}

TEST(TextBytes, LoadsWholeFileStripped) {
  TempFile f("bc:1\r\naa:10\r\n\x1A" "ee:3\r\n");
  const TextBytes t = load_text_bytes(f.path());
  ASSERT_EQ(t.status, TextLoadStatus::kOk);
  EXPECT_EQ(text_of(t), "bc:1\naa:10\n");
}

TEST(TextBytes, LoadsFilesLargerThanOneChunk) {
  std::string big;
  for (int i = 0; i < 5000; ++i) big += "ab:1\r\n";
  big += "\x1A" "zz";
  TempFile f(big);
  const TextBytes t = load_text_bytes(f.path());
  ASSERT_EQ(t.status, TextLoadStatus::kOk);
  EXPECT_EQ(t.length, 5000u * 5u);
  EXPECT_EQ(text_of(t).substr(t.length - 5), "ab:1\n");
}

TEST(TextBytes, EmptyFileIsEmptyText) {
  TempFile f("");
  const TextBytes t = load_text_bytes(f.path());
  ASSERT_EQ(t.status, TextLoadStatus::kOk);
  EXPECT_EQ(t.length, 0u);
}

TEST(TextBytes, MissingFileAndDirectoryAreFailures) {
  EXPECT_EQ(load_text_bytes("/nonexistent/hwmc/file.txt").status, TextLoadStatus::kCannotOpen);
  EXPECT_EQ(load_text_bytes("/tmp").status, TextLoadStatus::kReadError);
}

}  // namespace
