#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include <string>
#include <vector>

#include "genotype/genotype_reader.h"
#include "genotype/text_bytes.h"

namespace {

TEST(ReadGenotypeFile, ReadsTheExampleFile) {
  const GenotypeRead read = read_genotype_file(HWMC_SOURCE_DIR "/examples/sample.txt");
  ASSERT_EQ(read.status, ReadStatus::kOk);
  EXPECT_EQ(read.parse.k, 39);
  EXPECT_EQ(read.parse.two_n, 106);
  ASSERT_EQ(read.parse.table.size, 780u);
  EXPECT_EQ(read.parse.table[755].count, 16);
}

// Every failure is a status with the reason in the screen's words.
class ReadGenotypeFileFailure : public ::testing::Test {
 protected:
  void SetUp() override { paths_.reserve(8); }
  void TearDown() override {
    for (const std::string& path : paths_) std::remove(path.c_str());
  }
  const char* file_with(const std::string& contents) {
    char name[] = "/tmp/hwmc_reader_XXXXXX";
    const int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, contents.data(), contents.size()), static_cast<ssize_t>(contents.size()));
    close(fd);
    paths_.push_back(name);
    return paths_.back().c_str();  // stable: the list is reserved in SetUp
  }
  std::vector<std::string> paths_;
};

TEST_F(ReadGenotypeFileFailure, EveryFailureIsAStatusWithItsReason) {
  struct Case {
    const char* path;
    ReadStatus status;
    const char* reason;
  };
  const Case cases[] = {
      {"/nonexistent/hwmc/input.txt", ReadStatus::kCannotOpen,
       "failure at opening - the file is possibly missing"},
      {"/tmp", ReadStatus::kCannotOpen, "failure at opening - the file is possibly missing"},
      {file_with("not genotypes"), ReadStatus::kParseFailed, "is not input file"},
      {file_with("ab:1\r\nba:1\r\n"), ReadStatus::kParseFailed,
       "the entry \"ba\" (or \"ab\") is encountered more than once"},
      {file_with("aa:1\naa:2\n"), ReadStatus::kParseFailed,
       "the entry \"aa\" is encountered more than once"},
      {file_with("ab:1\nb1:1\n"), ReadStatus::kParseFailed,
       "invalid allele character in record \"b1:1\""},
      {file_with("ab:1\nbb:\n-1\n"), ReadStatus::kParseFailed,
       "negative count in record \"bb:\\n-1\""},
  };
  for (const Case& c : cases) {
    const GenotypeRead read = read_genotype_file(c.path);
    EXPECT_EQ(read.status, c.status) << c.path;
    EXPECT_EQ(read.parse.table.data, nullptr) << c.path;
    EXPECT_EQ(read_failure_reason(read), c.reason) << c.path;
  }
}

}  // namespace
