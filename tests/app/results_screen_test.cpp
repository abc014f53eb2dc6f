#include "app/results_screen.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "app/screen_rows.h"
#include "console/console.h"
#include "console/console_script.h"
#include "app/error_screens.h"
#include "genotype/genotype_reader.h"

namespace {

const char kSample[] = HWMC_SOURCE_DIR "/examples/sample.txt";

LocusAnalysis analysed(const char* path) {
  GenotypeRead read = read_genotype_file(path);
  EXPECT_EQ(read.status, ReadStatus::kOk);
  LocusAnalysis a;
  EXPECT_EQ(analyse_locus(std::move(read.parse.table), read.parse.k, read.parse.two_n, a),
            AnalysisStatus::kOk);
  return a;
}

TEST(AnalyseFile, ResultsBlockOfTheSample) {
  con_reset_for_test({'y'});
  con_set_attr(kColorWhite);
  const LocusAnalysis a = analysed(kSample);
  EXPECT_EQ(show_results_and_ask(a, kSample), 'y');

  EXPECT_EQ(trimmed_row(1), std::string("file: \"") + kSample + "\"");
  EXPECT_EQ(trimmed_row(2), std::string("X").append(glyphs({kGlyphSuperscriptTwo})) + "=169.815521 " + glyph(kGlyphLeftTriangle) + "- chi-sq_05 (15)=24.996");
  EXPECT_EQ(trimmed_row(3), "D(Selander's)= 0.086; (k-1)ND" + glyphs({kGlyphSuperscriptTwo}) + "=1.949 " + glyph(kGlyphLeftTriangle) + "- chi-sq_05 (1)=3.841;");
  EXPECT_EQ(trimmed_row(4), "wish to perform Monte Carlo experiment? (y/n)");
  EXPECT_EQ(con_model().cursor_x, 46);
  EXPECT_EQ(con_model().cursor_y, 4);
  EXPECT_EQ(con_cell(1, 2).attr, kColorWhite);
}

TEST(AnalyseFile, AnswerNoClearsTheScreen) {
  con_reset_for_test({'N'});
  const LocusAnalysis a = analysed(kSample);
  EXPECT_EQ(show_results_and_ask(a, kSample), 'n');
  for (int y = 1; y <= 25; ++y) EXPECT_EQ(trimmed_row(y), "") << y;
  EXPECT_EQ(con_model().cursor_x, 1);
  EXPECT_EQ(con_model().cursor_y, 1);
}

TEST(AnalyseFile, RewritesRowsOneToNineOnly) {
  con_reset_for_test({'y'});
  for (int y = 1; y <= 12; ++y) {
    con_goto(1, y);
    con_printf("previous screen, row %d, a long line to be cleared", y);
  }
  const LocusAnalysis a = analysed(kSample);
  show_results_and_ask(a, kSample);
  for (int y = 5; y <= 9; ++y) EXPECT_EQ(trimmed_row(y), "") << y;
  EXPECT_EQ(trimmed_row(10), "previous screen, row 10, a long line to be cleared");
  EXPECT_EQ(trimmed_row(12), "previous screen, row 12, a long line to be cleared");
}

TEST(WaitYesNo, FoldsCaseAndIgnoresEverythingElse) {
  con_reset_for_test({'Y'});
  EXPECT_EQ(wait_yes_no(), 'y');
  con_reset_for_test({'x', '1', kKeyEnter, kKeyEsc, ' ', 'N'});
  EXPECT_EQ(wait_yes_no(), 'n');
  EXPECT_EQ(trimmed_row(1), "");  // no echo
}

TEST(WaitYesNo, ScanCodesOfExtendedKeysAreNoAnswer) {
  // Alt+F7 sends the scan code 110, which is the code of 'n'.
  con_reset_for_test({kExtendedKey | 110, kExtendedKey | 121, 'y'});
  EXPECT_EQ(wait_yes_no(), 'y');
}

TEST(AnalysisFailures, WordedOnTheErrorLineWithThePath) {
  con_reset_for_test();
  show_analysis_failure(AnalysisStatus::kOneAllele, "/tmp/one.txt");
  EXPECT_EQ(trimmed_row(24), "         only one allele class in file - nothing to test \"/tmp/one.txt\"");
  EXPECT_EQ(con_cell(10, 24).attr, kColorLightRed);
  con_reset_for_test();
  show_analysis_failure(AnalysisStatus::kNoData, "e");
  EXPECT_EQ(trimmed_row(24), "         possibly incorrect data in file \"e\"");
  con_reset_for_test();
  show_analysis_failure(AnalysisStatus::kOutOfMemory, "e");
  EXPECT_EQ(trimmed_row(24), "         Try to re-designate alleles. Cut empty allele classes");
  EXPECT_EQ(trimmed_row(25), "memory allocation error - program abort");
}

}  // namespace
