#include "app/analysis.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "console/console.h"
#include "genotype/genotype_reader.h"

namespace {

const char kSample[] = HWMC_SOURCE_DIR "/examples/sample.txt";

std::string row(int y) {
  std::string text = con_row_text(y);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

void load(FileState& f, const char* path) {
  f.file_index = 1;
  f.path = path;
  f.table = read_genotype_file(path, f.k, f.two_n);
}

TEST(AnalyseFile, ResultsBlockOfTheSample) {
  con_reset_for_test({'y'});
  con_set_attr(15);
  FileState f;
  load(f, kSample);
  analyse_file(f);

  EXPECT_EQ(row(1), std::string("file: \"") + kSample + "\"");
  EXPECT_EQ(row(2), "X\xFD=169.815521 \x11- chi-sq_05 (15)=24.996");
  EXPECT_EQ(row(3), "D(Selander's)= 0.086; (k-1)ND\xFD=1.949 \x11- chi-sq_05 (1)=3.841;");
  EXPECT_EQ(row(4), "wish to perform Monte Carlo experiment? (y/n)");
  EXPECT_EQ(con_model().cursor_x, 46);
  EXPECT_EQ(con_model().cursor_y, 4);
  EXPECT_EQ(con_cell(1, 2).attr, 15);
  EXPECT_EQ(f.mc_answer, 'y');
}

TEST(AnalyseFile, FillsTheFileStateAndShrinksTheBuffers) {
  con_reset_for_test({'y'});
  FileState f;
  load(f, kSample);
  ASSERT_EQ(f.k, 39);
  analyse_file(f);

  EXPECT_EQ(f.k, 6);
  EXPECT_EQ(f.cells, 21);
  EXPECT_EQ(f.df, 15);
  EXPECT_EQ(f.x2_obs, 0x1.53a18cp+7f);
  EXPECT_EQ(f.x2_crit, 24.996f);
  EXPECT_EQ(f.het_observed, 43);
  EXPECT_EQ(f.het_expected, 0x1.3cd488p+5f);
  EXPECT_EQ(f.d_obs, 0x1.5f40b8p-4f);
  EXPECT_EQ(f.table.size, 21u);
  EXPECT_EQ(f.expected.size, 21u);
  EXPECT_EQ(f.cell_x2.size, 21u);
  EXPECT_EQ(f.allele_freq.size, 6u);
  EXPECT_EQ(f.allele_total.size, 6u);
  EXPECT_EQ(f.allele_total[5], 25);
  // The reference value of a/d carries the other rounding of the difference.
  EXPECT_EQ(f.table[3].x2, 0x1.21d0b8p+4f);
  EXPECT_EQ(f.cell_x2[3], 0x1.21d0b6p+4f);
  for (int pos = 0; pos < 21; ++pos) EXPECT_EQ(f.table[pos].mc_hits, 0);
}

TEST(AnalyseFile, AnswerNoClearsTheScreen) {
  con_reset_for_test({'N'});
  FileState f;
  load(f, kSample);
  analyse_file(f);
  EXPECT_EQ(f.mc_answer, 'n');
  for (int y = 1; y <= 25; ++y) EXPECT_EQ(row(y), "") << y;
  EXPECT_EQ(con_model().cursor_x, 1);
  EXPECT_EQ(con_model().cursor_y, 1);
}

TEST(AnalyseFile, RewritesRowsOneToNineOnly) {
  con_reset_for_test({'y'});
  for (int y = 1; y <= 12; ++y) {
    con_goto(1, y);
    con_printf("previous screen, row %d, a long line to be cleared", y);
  }
  FileState f;
  load(f, kSample);
  analyse_file(f);
  for (int y = 5; y <= 9; ++y) EXPECT_EQ(row(y), "") << y;
  EXPECT_EQ(row(10), "previous screen, row 10, a long line to be cleared");
  EXPECT_EQ(row(12), "previous screen, row 12, a long line to be cleared");
}

TEST(WaitYesNo, FoldsCaseAndIgnoresEverythingElse) {
  con_reset_for_test({'Y'});
  EXPECT_EQ(wait_yes_no(), 'y');
  con_reset_for_test({'x', '1', 13, 27, ' ', 'N'});
  EXPECT_EQ(wait_yes_no(), 'n');
  EXPECT_EQ(row(1), "");  // no echo
}

TEST(WaitYesNo, ScanCodesOfExtendedKeysAreNoAnswer) {
  // Alt+F7 sends the scan code 110, which is the code of 'n'.
  con_reset_for_test({kExtendedKey | 110, kExtendedKey | 121, 'y'});
  EXPECT_EQ(wait_yes_no(), 'y');
}

// The console model shown on standard error, so that a death test can match
// the message the child process left on row 24.
void show_row_24_on_stderr(void*) {
  std::fprintf(stderr, "[%s]\n", row(24).c_str());
}

class OneAlleleClass : public ::testing::Test {
 protected:
  void TearDown() override { std::remove(path_.c_str()); }
  std::string path_;
};

TEST_F(OneAlleleClass, EndsTheProgramWithAMessage) {
  char name[] = "/tmp/hwmc_one_XXXXXX";
  const int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "aa:10\nab:0\n", 11), 11);
  close(fd);
  path_ = name;
  auto analyse = [&] {
    con_reset_for_test({'y'});
    ConsoleBackend backend;
    backend.present = show_row_24_on_stderr;
    con_attach_backend(backend);
    FileState f;
    load(f, path_.c_str());
    analyse_file(f);
  };
  EXPECT_EXIT(analyse(), ::testing::ExitedWithCode(1),
              "\\[         only one allele class in file - nothing to test \"/tmp/hwmc_one_");
}

}  // namespace
