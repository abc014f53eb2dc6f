#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "report/report_append.h"
#include "report/sample_results.h"
#include "report/temp_dir.h"
#include "report/unprivileged.h"

TEST(AppendToFile, CreatesAMissingFileWithTheUsualMode) {
  TempDir dir;
  const std::string path = dir.file("new.txt");
  const mode_t old_mask = ::umask(022);
  EXPECT_EQ(append_to_file(path.c_str(), "abc\r\n"), AppendResult::kDone);
  ::umask(old_mask);
  EXPECT_EQ(read_bytes(path), "abc\r\n");
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST(AppendToFile, KeepsEveryExistingByteAndAppendsAtTheEnd) {
  TempDir dir;
  const std::string old(std::string("old report\r\n3.841\0\x1A", 19));
  const std::string path = dir.write("out.txt", old);
  EXPECT_EQ(append_to_file(path.c_str(), "\r\nnew"), AppendResult::kDone);
  EXPECT_EQ(append_to_file(path.c_str(), "\r\nnewer"), AppendResult::kDone);
  EXPECT_EQ(read_bytes(path), old + "\r\nnew\r\nnewer");
}

TEST(AppendToFile, OpenFailures) {
  TempDir dir;
  EXPECT_EQ(append_to_file(dir.file("no/such/folder.txt").c_str(), "x"),
            AppendResult::kOpenFailed);
  EXPECT_EQ(append_to_file(dir.path.c_str(), "x"), AppendResult::kOpenFailed);

  ASSERT_EQ(::chmod(dir.path.c_str(), 0755), 0);
  const std::string path = dir.write("ro.txt", "keep");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_TRUE(run_unprivileged(
      [&] { return append_to_file(path.c_str(), "x") == AppendResult::kOpenFailed; }));
  EXPECT_EQ(read_bytes(path), "keep");
}

TEST(AppendToFile, AFullDeviceIsAWriteFailure) {
  if (!file_exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  EXPECT_EQ(append_to_file("/dev/full", "report"), AppendResult::kWriteFailed);
}

TEST(AppendReport, AppendsTheReportWithTheNameUpperCased) {
  TempDir dir;
  const std::string out = dir.write("out.txt", "earlier\r\n3.841");
  ReportSample s = sample_results("Sample-1.txt");
  EXPECT_EQ(append_report(out.c_str(), s.input.c_str(), s.unit, local_now()), AppendResult::kDone);
  const std::string bytes = read_bytes(out);
  ASSERT_GT(bytes.size(), 60u);
  EXPECT_EQ(bytes.substr(0, 54),
            "earlier\r\n3.841\r\n\tName of input file: \"SAMPLE-1.TXT\"\r\n\t");
  EXPECT_EQ(bytes.substr(bytes.size() - 20), "<- chi-sq_05 = 3.841");
  // The local date: 24 characters, then its line feed and the empty line.
  const size_t date = bytes.find("\r\n\r\ncalculated on ") + 18;
  EXPECT_EQ(date, 54u + 34u + 18u);
  EXPECT_EQ(bytes.substr(date + 24, 8), "\r\n\r\n\r\n a");
}
