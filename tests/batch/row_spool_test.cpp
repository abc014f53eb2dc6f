#include "batch/row_spool.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "batch/spooled_rows.h"

namespace {

// The rows' bytes a spool of the tests holds before it writes them to its
// file: small, so that a few rows go through the file.
constexpr size_t kSmallMemory = size_t{1} << 16;

// Rows of every length around such a spool's 64 KiB, one far longer.
std::vector<std::string> varied_rows() {
  std::vector<std::string> rows;
  for (size_t i = 0; i < 3000; ++i) rows.push_back(std::string(i % 97, 'a' + i % 26) + "\t" +
                                                   std::to_string(i));
  rows.push_back(std::string(200000, 'x'));
  rows.push_back("");
  for (size_t i = 0; i < 500; ++i) rows.push_back("tail " + std::to_string(i));
  return rows;
}

TEST(RowSpool, RowsComeBackAsTheyWentInWithTheirLeads) {
  RowSpool spool;
  spool.memory = kSmallMemory;
  ASSERT_EQ(open_row_spool(spool), 0);
  const std::vector<std::string> rows = varied_rows();
  for (size_t i = 0; i < rows.size(); ++i)
    ASSERT_TRUE(spool_row(spool, rows[i], static_cast<double>(i) / 8));
  EXPECT_GT(spool.written, 0u);  // most of them in the file, not in memory
  EXPECT_LE(spool.unwritten.size(), size_t{1} << 17);
  EXPECT_EQ(spooled_rows(spool), rows);
  ASSERT_EQ(spool.leads.size(), rows.size());
  EXPECT_EQ(spool.leads[3001], 3001.0 / 8);
}

// The rows are handed back in blocks of a MiB, read from the file or
// taken where they are held: a row that ends just past a block, and rows of
// several blocks, come back whole and in their places either way.
TEST(RowSpool, RowsLongerThanABlockOfTheReplayComeBackWhole) {
  std::vector<std::string> rows;
  const size_t mib = size_t{1} << 20;
  rows.push_back(std::string(mib - 3, 'a'));  // its line feed and the next row cross the block
  rows.push_back("bc");
  rows.push_back(std::string(3 * mib + 7, 'd'));
  rows.push_back("");
  rows.push_back(std::string(5 * mib, 'e'));
  for (size_t i = 0; i < 1000; ++i) rows.push_back("row " + std::to_string(i));
  for (const bool in_memory : {true, false}) {
    RowSpool spool;
    spool.memory = in_memory ? 16 * mib : kSmallMemory;
    ASSERT_EQ(open_row_spool(spool), 0);
    for (size_t i = 0; i < rows.size(); ++i) ASSERT_TRUE(spool_row(spool, rows[i], 0.5));
    EXPECT_EQ(spool.written == 0, in_memory);
    EXPECT_EQ(spooled_rows(spool), rows) << in_memory;
  }
}

TEST(RowSpool, RollbackDropsTheRowsAfterTheMarkInMemoryOrInTheFile) {
  RowSpool spool;
  spool.memory = kSmallMemory;
  ASSERT_EQ(open_row_spool(spool), 0);
  ASSERT_TRUE(spool_row(spool, "kept", 0.5));
  // Rolled back while still in memory.
  SpoolMark mark = spool_mark(spool);
  ASSERT_TRUE(spool_row(spool, "dropped", 0.25));
  ASSERT_TRUE(spool_rollback(spool, mark));
  // Rolled back after whole chunks went to the file.
  ASSERT_TRUE(spool_row(spool, "kept too", 0.125));
  mark = spool_mark(spool);
  for (int i = 0; i < 20000; ++i) ASSERT_TRUE(spool_row(spool, "dropped row", 1));
  ASSERT_GT(spool.written, mark.bytes);
  ASSERT_TRUE(spool_rollback(spool, mark));
  ASSERT_TRUE(spool_row(spool, "after", 0.0625));
  EXPECT_EQ(spooled_rows(spool), (std::vector<std::string>{"kept", "kept too", "after"}));
  EXPECT_EQ(spool.leads, (std::vector<double>{0.5, 0.125, 0.0625}));
}

TEST(RowSpool, AFolderThatCannotHoldTheFileIsAnError) {
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old != nullptr ? old : "";
  RowSpool spool;
  ::setenv("TMPDIR", "/nonexistent/hwmc-test", 1);
  EXPECT_EQ(open_row_spool(spool), ENOENT);
  EXPECT_EQ(spool.directory, "/nonexistent/hwmc-test");
  ::setenv("TMPDIR", "/dev/null", 1);  // not a folder
  EXPECT_EQ(open_row_spool(spool), ENOTDIR);
  ::setenv("TMPDIR", "", 1);  // empty: the system's folder
  EXPECT_EQ(open_row_spool(spool), 0);
  EXPECT_EQ(spool.directory, "/tmp");
  if (old != nullptr) {
    ::setenv("TMPDIR", saved.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
}

}  // namespace
