#include "runcount/run_counter.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "runcount/run_files.h"

namespace {

std::string text_at(const Bytes& bytes, size_t offset, size_t length) {
  return std::string(bytes.data() + offset, length);
}

class CountRunIn : public ::testing::Test {
 protected:
  RunTempDir dir;
  std::string program = dir.file("prog");

  // Counts once and expects the file to be exactly as it was.
  void expect_not_counted(int32_t expected_result) {
    const Bytes before = read_bytes(program);
    bool counted = true;
    EXPECT_EQ(count_run_in(program.c_str(), counted), expected_result);
    EXPECT_FALSE(counted);
    EXPECT_EQ(read_bytes(program), before);
  }
};

TEST_F(CountRunIn, CountsInTheFourthBlock) {
  Bytes bytes = program_bytes(4000, 1000, marker_with("41"));
  write_bytes(program, bytes);
  bool counted = false;
  EXPECT_EQ(count_run_in(program.c_str(), counted), 42);
  EXPECT_TRUE(counted);
  const Bytes after = read_bytes(program);
  ASSERT_EQ(after.size(), bytes.size());
  EXPECT_EQ(text_at(after, 1000, 12), marker_with("42"));
  // Nothing else moved.
  bytes[1009] = '4';
  bytes[1010] = '2';
  EXPECT_EQ(after, bytes);
}

TEST_F(CountRunIn, CountsInTheFifthBlockUpToTheLastUsablePlace) {
  for (size_t offset : {1024, 1100, 1024 + 235}) {
    write_bytes(program, program_bytes(4000, offset, marker_with("41")));
    bool counted = false;
    EXPECT_EQ(count_run_in(program.c_str(), counted), 42) << offset;
    EXPECT_TRUE(counted) << offset;
    EXPECT_EQ(text_at(read_bytes(program), offset, 12), marker_with("42")) << offset;
  }
  write_bytes(program, program_bytes(4000, 1024 + 236, marker_with("41")));
  expect_not_counted(1);
}

TEST_F(CountRunIn, CountsOnFromNineToTen) {
  write_bytes(program, program_bytes(1500, 300, marker_with("9")));
  bool counted = false;
  EXPECT_EQ(count_run_in(program.c_str(), counted), 10);
  EXPECT_TRUE(counted);
  EXPECT_EQ(text_at(read_bytes(program), 300, 12), marker_with("10"));
  EXPECT_EQ(count_run_in(program.c_str(), counted), 11);
}

TEST_F(CountRunIn, AMarkerWithoutDigitsStartsAtOne) {
  write_bytes(program, program_bytes(1280, 0, marker_with("")));
  bool counted = false;
  EXPECT_EQ(count_run_in(program.c_str(), counted), 1);
  EXPECT_TRUE(counted);
  EXPECT_EQ(text_at(read_bytes(program), 0, 11), marker_with("1"));
}

TEST_F(CountRunIn, OnlyTheFirst1280BytesAreSearched) {
  write_bytes(program, program_bytes(4000, 1300, marker_with("41")));
  expect_not_counted(1);
  write_bytes(program, program_bytes(4000, 1280, marker_with("41")));
  expect_not_counted(1);
  // Starts inside the area but would end beyond it.
  write_bytes(program, program_bytes(4000, 1275, marker_with("41")));
  expect_not_counted(1);
}

TEST_F(CountRunIn, AMarkerAcrossABlockBoundaryIsNotFound) {
  write_bytes(program, program_bytes(4000, 1020, marker_with("41")));
  expect_not_counted(1);
}

TEST_F(CountRunIn, AMarkerWhoseCountRoomCrossesTheBlockEndIsNotFound) {
  write_bytes(program, program_bytes(4000, 236 + 512, marker_with("41")));
  expect_not_counted(1);
}

TEST_F(CountRunIn, OnlyTheFirstOfTwoMarkersIsCounted) {
  Bytes bytes = program_bytes(4000, 200, marker_with("5"));
  const std::string second = marker_with("77");
  std::copy(second.begin(), second.end(), bytes.begin() + 900);
  write_bytes(program, bytes);
  bool counted = false;
  EXPECT_EQ(count_run_in(program.c_str(), counted), 6);
  const Bytes after = read_bytes(program);
  EXPECT_EQ(text_at(after, 200, 11), marker_with("6"));
  EXPECT_EQ(text_at(after, 900, 12), second);
}

TEST_F(CountRunIn, ARunOfTenZerosCountsFromZero) {
  write_bytes(program, program_bytes(2000, 600, std::string("0000000000") + '\0'));
  bool counted = false;
  EXPECT_EQ(count_run_in(program.c_str(), counted), 1);
  EXPECT_TRUE(counted);
  EXPECT_EQ(text_at(read_bytes(program), 600, 11), marker_with("1"));
}

// The built program's note holds two markers, each with its count room, one
// right after the other: wherever the linker puts it, exactly one of them is
// used, always the same one.
TEST_F(CountRunIn, ATwoMarkerNoteCountsInOneMarkerWhereverItLies) {
  const std::string window = marker_with("") + std::string(11, '\0');
  for (size_t first = 990; first <= 1024; ++first) {
    Bytes bytes = program_bytes(2000, first, window + window);
    write_bytes(program, bytes);
    bool counted = false;
    EXPECT_EQ(count_run_in(program.c_str(), counted), 1) << first;
    EXPECT_EQ(count_run_in(program.c_str(), counted), 2) << first;
    const Bytes after = read_bytes(program);
    const bool in_first = after[first + 9] == '2';
    const bool in_second = after[first + 30] == '2';
    EXPECT_NE(in_first, in_second) << first;
    bytes[(in_first ? first : first + 21) + 9] = '2';
    EXPECT_EQ(after, bytes) << first;
  }
}

TEST_F(CountRunIn, AFileEndingBeforeTheMarkersBlockIsFullIsNotCounted) {
  write_bytes(program, program_bytes(900, 800, marker_with("3")));
  expect_not_counted(1);
}

TEST_F(CountRunIn, AMissingFileIsNotCounted) {
  bool counted = true;
  EXPECT_EQ(count_run_in(dir.file("nothing").c_str(), counted), 0);
  EXPECT_FALSE(counted);
  EXPECT_EQ(count_run_in("", counted), 0);
  EXPECT_FALSE(counted);
  EXPECT_TRUE(dir.entries().empty());
}

TEST_F(CountRunIn, AReadOnlyFileIsNotCountedEvenForRoot) {
  write_bytes(program, program_bytes(2000, 100, marker_with("41")));
  ASSERT_EQ(chmod(program.c_str(), 0555), 0);
  expect_not_counted(0);
  EXPECT_EQ(file_mode(program), 0555u);
  EXPECT_EQ(dir.entries().size(), 1u);
}

TEST_F(CountRunIn, KeepsThePermissionBits) {
  for (mode_t mode : {0751, 0604, 02755}) {
    write_bytes(program, program_bytes(2000, 100, marker_with("41")));
    ASSERT_EQ(chmod(program.c_str(), mode), 0);
    bool counted = false;
    EXPECT_EQ(count_run_in(program.c_str(), counted), 42);
    EXPECT_TRUE(counted);
    EXPECT_EQ(file_mode(program), mode);
    EXPECT_EQ(dir.entries().size(), 1u) << "no copy left behind";
  }
}

TEST_F(CountRunIn, CountsTheFileALinkPointsTo) {
  write_bytes(program, program_bytes(2000, 100, marker_with("41")));
  const std::string link = dir.file("link");
  ASSERT_EQ(symlink(program.c_str(), link.c_str()), 0);
  bool counted = false;
  EXPECT_EQ(count_run_in(link.c_str(), counted), 42);
  struct stat st;
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(text_at(read_bytes(program), 100, 12), marker_with("42"));
}

// Sets the immutable attribute on a folder for the guard's lifetime: nothing
// can be created in it, not even by root.
struct ImmutableFolder {
  int fd = -1;
  bool set = false;
  explicit ImmutableFolder(const std::string& path) {
    fd = open(path.c_str(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    if (fd < 0 || ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) return;
    flags |= FS_IMMUTABLE_FL;
    set = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ~ImmutableFolder() {
    int flags = 0;
    if (set && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
      flags &= ~FS_IMMUTABLE_FL;
      ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    if (fd >= 0) close(fd);
  }
};

TEST_F(CountRunIn, AFileInAFolderThatTakesNoNewFilesIsNotCounted) {
  write_bytes(program, program_bytes(2000, 100, marker_with("41")));
  ImmutableFolder frozen(dir.path);
  if (!frozen.set) GTEST_SKIP() << "cannot make a folder unwritable here";
  expect_not_counted(42);
  EXPECT_EQ(dir.entries().size(), 1u);
}

// Limits the size of files this process writes, so that writing the copy
// fails part way.
struct FileSizeLimit {
  rlimit old_limit{};
  struct sigaction old_action{};
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_limit);
    struct sigaction ignore{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &old_action);
    rlimit limit = old_limit;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_limit);
    sigaction(SIGXFSZ, &old_action, nullptr);
  }
};

TEST_F(CountRunIn, AShortWriteOfTheCopyLeavesTheFileAsItWas) {
  write_bytes(program, program_bytes(100000, 100, marker_with("41")));
  {
    FileSizeLimit limit(20000);
    expect_not_counted(42);
  }
  EXPECT_EQ(dir.entries().size(), 1u);
  EXPECT_EQ(read_bytes(program).size(), 100000u);
}

TEST(ProgramFilePath, IsTheRunningTestProgram) {
  const std::string path = program_file_path();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_NE(path.find("runcount_tests"), std::string::npos);
}

}  // namespace
