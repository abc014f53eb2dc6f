#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "report/output_trim.h"
#include "report/temp_dir.h"
#include "report/unprivileged.h"

namespace {

const std::string kMark(1, '\x1A');

std::string trimmed(const std::string& bytes) {
  TempDir dir;
  const std::string path = dir.write("out.txt", bytes);
  trim_output_tail(path.c_str());
  return read_bytes(path);
}

}  // namespace

TEST(OutputTrim, RemovesExactlyTheTrailingMarks) {
  EXPECT_EQ(trimmed("report\r\n3.841"), "report\r\n3.841");
  EXPECT_EQ(trimmed("3.841" + kMark + kMark + kMark), "3.841");
  EXPECT_EQ(trimmed("a" + kMark), "a");
  EXPECT_EQ(trimmed("x" + kMark + "y" + kMark), "x" + kMark + "y");
  EXPECT_EQ(trimmed(std::string("\0\0", 2) + kMark), std::string("\0\0", 2));
}

TEST(OutputTrim, KeepsMarksThatAreFollowedByText) {
  const std::string middle = "one" + kMark + kMark + "two";
  EXPECT_EQ(trimmed(middle), middle);
}

TEST(OutputTrim, EmptyFilesAndFilesOfOnlyMarksStayAsTheyAre) {
  EXPECT_EQ(trimmed(""), "");
  EXPECT_EQ(trimmed(kMark), kMark);
  const std::string only(10000, '\x1A');
  EXPECT_EQ(trimmed(only), only);
}

TEST(OutputTrim, LongRunsOfMarksAcrossReadBlocks) {
  const std::string text(5000, 'r');
  EXPECT_EQ(trimmed(text + std::string(9000, '\x1A')), text);
  // The last non-mark byte at the very start of a read block.
  EXPECT_EQ(trimmed("z" + std::string(4096, '\x1A')), "z");
  EXPECT_EQ(trimmed("z" + std::string(4095, '\x1A')), "z");
}

TEST(OutputTrim, MissingFileIsNotCreated) {
  TempDir dir;
  const std::string path = dir.file("absent.txt");
  trim_output_tail(path.c_str());
  EXPECT_FALSE(file_exists(path));
}

TEST(OutputTrim, ReadOnlyFileIsLeftUntouched) {
  TempDir dir;
  ASSERT_EQ(::chmod(dir.path.c_str(), 0755), 0);
  const std::string bytes = "text" + kMark + kMark;
  const std::string path = dir.write("ro.txt", bytes);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_TRUE(run_unprivileged([&] {
    trim_output_tail(path.c_str());
    return true;
  }));
  EXPECT_EQ(read_bytes(path), bytes);
}

// Linux gives every non-regular file a size of 0, so no trim could follow
// from it anyway; what must hold is that such a file is neither read from
// nor waited on: a FIFO's bytes, marks included, stay for its reader.
TEST(OutputTrim, NonRegularFilesAreLeftAlone) {
  TempDir dir;
  trim_output_tail(dir.path.c_str());  // a folder
  trim_output_tail("/dev/null");
  const std::string fifo = dir.path + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  const std::string bytes = "old\x1a\x1a";
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  trim_output_tail(fifo.c_str());
  char back[16];
  EXPECT_EQ(::read(fd, back, sizeof back), static_cast<ssize_t>(bytes.size()));
  EXPECT_EQ(std::string(back, bytes.size()), bytes);
  ::close(fd);
}
