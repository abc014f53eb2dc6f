#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "report/report_text.h"
#include "exact/exact_report.h"
#include "report/sample_results.h"

namespace {

std::tm frozen_time() {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 0;
  t.tm_mday = 2;
  t.tm_hour = 3;
  t.tm_min = 4;
  t.tm_sec = 5;
  t.tm_wday = 5;
  return t;
}

// A report of k alleles named A, B, ... with frequencies 0.1, 0.2, ... and
// every cell holding count 1, expected 1 and X2 0.
ReportSample synthetic_results(int32_t k) {
  const size_t cells = static_cast<size_t>(cell_count_for(k));
  std::string letters;
  std::vector<float> freq;
  for (int32_t i = 0; i < k; ++i) {
    letters += static_cast<char>('A' + i);
    freq.push_back(static_cast<float>(i + 1) / 10.0f);
  }
  ReportSample s = report_sample("in", letters, std::vector<GenotypeCell>(cells, {1, 0, 0}), freq,
                                 std::vector<float>(cells, 1.0f), std::vector<float>(cells, 0.0f));
  s.locus().two_n = 2 * static_cast<int32_t>(cells);
  s.locus().het_expected = 1.0f;
  return s;
}

// The text between " allelic frequencies:\n" and the table header.
std::string frequency_block(const ReportSample& r) {
  const std::string text = r.text(frozen_time());
  const size_t from = text.find(" allelic frequencies:\n") + 22;
  const size_t to = text.find("\n\n----");
  return text.substr(from, to - from);
}

// The text after the heterozygosity block's last line.
std::string monte_carlo_block(const ReportSample& r) {
  const std::string text = r.text(frozen_time());
  return text.substr(text.find("3.841") + 5);
}

ReportSample with_monte_carlo() {
  ReportSample s = sample_results();
  s.mc().runs_made = 100;
  s.mc().hits_hw = 0;
  s.mc().hits_d_one = 40;
  s.mc().hits_d_both = 75;
  s.mc().p_hw = 0.0f;
  s.mc().p_d_one = 0.4f;
  s.mc().p_d_both = 0.75f;
  s.mc().ci_hw_low = 0.0;
  s.mc().ci_hw_high = 0.0095;
  s.mc().ci_d_one_low = 0.305;
  s.mc().ci_d_one_high = 0.499;
  s.mc().ci_d_both_low = 0.656;
  s.mc().ci_d_both_high = 0.832;
  fill(s.mc().cell_hits, std::vector<uint32_t>(21, 100));
  s.mc().cell_hits[3] = 7;  // ad
  return s;
}

}  // namespace

TEST(ReportDate, EnglishNamesTwoDigitDayAndALineFeed) {
  const std::string text = format_report_date(frozen_time());
  EXPECT_EQ(text, "Fri Jan 02 03:04:05 2026\n");
  EXPECT_EQ(text.size(), 25u);

  const char* weekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm t = frozen_time();
  for (int w = 0; w < 7; ++w) {
    t.tm_wday = w;
    EXPECT_EQ(format_report_date(t).substr(0, 4), std::string(weekdays[w]) + " ");
  }
  for (int m = 0; m < 12; ++m) {
    t.tm_mon = m;
    EXPECT_EQ(format_report_date(t).substr(4, 4), std::string(months[m]) + " ");
  }
  t.tm_mday = 31;
  t.tm_hour = 23;
  t.tm_min = 59;
  t.tm_sec = 60;  // a leap second
  t.tm_year = 1999 - 1900;
  EXPECT_EQ(format_report_date(t).substr(8), "31 23:59:60 1999\n");
}

TEST(ReportText, GoldenSampleWithoutMonteCarlo) {
  ReportSample s = sample_results();
  const std::string expected =
      "\n"
      "\tName of input file: \"SAMPLE.TXT\"\n"
      "\t----------------------------------\n"
      "\n"
      "calculated on Fri Jan 02 03:04:05 2026\n"
      "\n"
      "\n"
      " allelic frequencies:\n"
      "\n"
      " a:0.33962 b:0.01887 c:0.00943 d:0.16038 e:0.23585\n"
      " g:0.23585\n"
      "\n"
      "------------------------------------------------------------------------\n"
      " gntp |     obs     |    exp      |      X2     |                     \n"
      "------------------------------------------------------------------------\n"
      "  aa        10           6.1132          2.4712\n"
      "  ab        0            0.6792          0.6792\n"
      "  ac        0            0.3396          0.3396\n"
      "  ad        16           5.7736          18.1135\n"
      "  ae        0            8.4906          8.4906\n"
      "  ag        0            8.4906          8.4906\n"
      "  bb        0            0.0189          0.0189\n"
      "  bc        1            0.0189          51.0189\n"
      "  bd        1            0.3208          1.4384\n"
      "  be        0            0.4717          0.4717\n"
      "  bg        0            0.4717          0.4717\n"
      "  cc        0            0.0047          0.0047\n"
      "  cd        0            0.1604          0.1604\n"
      "  ce        0            0.2358          0.2358\n"
      "  cg        0            0.2358          0.2358\n"
      "  dd        0            1.3632          1.3632\n"
      "  de        0            4.0094          4.0094\n"
      "  dg        0            4.0094          4.0094\n"
      "  ee        0            2.9481          2.9481\n"
      "  eg        25           5.8962          61.8962\n"
      "  gg        0            2.9481          2.9481\n"
      "\n"
      "________________________________________________________________________\n"
      "\n"
      "totals:     53          53             169.816\n"
      "\n"
      "\n"
      "df = 15, X2 = 169.816, chi-sq_05 = 24.996 \n"
      "\n"
      "\n"
      "\t\t\tH_obs = 0.81132\n"
      "\t\t\tH_exp = 0.74724\n"
      "\t\t Selander's D = 0.08576\n"
      "\t\t  (k-1)*N*D*D = 1.949 <- chi-sq_05 = 3.841";
  EXPECT_EQ(s.text(frozen_time()), expected);
}

TEST(ReportText, SampleValuesAreTheFloat32FiguresOfTheAnalysis) {
  // Guards the hand-entered sample against typing errors.
  ReportSample s = sample_results();
  EXPECT_EQ(static_cast<double>(s.locus().x2_obs), 169.81552124023438);
  EXPECT_EQ(static_cast<double>(s.locus().cell_x2[3]), 18.113454818725586);
  float x2 = 0.0f;
  for (size_t i = 0; i < s.locus().cell_x2.size; ++i)
    x2 = static_cast<float>(x2 + s.locus().cell_x2[i]);
  EXPECT_EQ(x2, s.locus().x2_obs);
}

TEST(ReportText, FileNameIsUpperCasedOnlyForAsciiLetters) {
  ReportSample s = sample_results("dir-1/Mix_e\xE9z.txt");
  const std::string text = s.text(frozen_time());
  EXPECT_EQ(text.substr(0, 43), "\n\tName of input file: \"DIR-1/MIX_E\xE9Z.TXT\"\n\t");
  // The record is not the writer's: building the text leaves it alone.
  EXPECT_EQ(s.input, "dir-1/Mix_e\xE9z.txt");
}

TEST(ReportText, FrequenciesStandFiveToALineAfterAnEmptyLine) {
  EXPECT_EQ(frequency_block(synthetic_results(1)), "\n A:0.10000");
  EXPECT_EQ(frequency_block(synthetic_results(5)),
            "\n A:0.10000 B:0.20000 C:0.30000 D:0.40000 E:0.50000");
  EXPECT_EQ(frequency_block(synthetic_results(6)),
            "\n A:0.10000 B:0.20000 C:0.30000 D:0.40000 E:0.50000"
            "\n F:0.60000");
  EXPECT_EQ(frequency_block(synthetic_results(10)),
            "\n A:0.10000 B:0.20000 C:0.30000 D:0.40000 E:0.50000"
            "\n F:0.60000 G:0.70000 H:0.80000 I:0.90000 J:1.00000");
  EXPECT_EQ(frequency_block(synthetic_results(11)),
            "\n A:0.10000 B:0.20000 C:0.30000 D:0.40000 E:0.50000"
            "\n F:0.60000 G:0.70000 H:0.80000 I:0.90000 J:1.00000"
            "\n K:1.10000");
}

TEST(ReportText, OneAlleleGivesOneRowAndTheTableFollowsTheCellOrder) {
  ReportSample one = synthetic_results(1);
  const std::string text = one.text(frozen_time());
  EXPECT_NE(text.find("---\n  AA        1            1.0000          0.0000\n\n___"),
            std::string::npos);

  ReportSample three = synthetic_results(3);
  std::string rows;
  const std::string t3 = three.text(frozen_time());
  size_t at = t3.find("------\n  ") + 9;
  for (int n = 0; n < 6; ++n, at = t3.find("\n  ", at) + 3) rows += t3.substr(at, 2) + " ";
  EXPECT_EQ(rows, "AA AB AC BB BC CC ");
}

TEST(ReportText, ExpectedCountsAreSummedInFloat32) {
  // 2^24 + 1 + 1 in float32 stays 2^24: each addition rounds.
  ReportSample s = synthetic_results(2);
  fill(s.locus().expected, {16777216.0f, 1.0f, 1.0f});
  s.locus().two_n = 4;
  const std::string text = s.text(frozen_time());
  EXPECT_NE(text.find("totals:     2          1.67772e+07             0\n"), std::string::npos);
}

TEST(ReportText, HeterozygosityIsComputedWideFromTheStoredValues) {
  ReportSample s = synthetic_results(3);
  s.locus().two_n = 7;  // N = 3 by integer division
  s.locus().het_observed = 1;
  s.locus().het_expected = 2.0f;
  s.locus().d_obs = -0.5f;
  const std::string text = s.text(frozen_time());
  EXPECT_NE(text.find("H_obs = 0.28571\n\t\t\tH_exp = 0.57143\n"
                      "\t\t Selander's D = -0.50000\n\t\t  (k-1)*N*D*D = 1.500 <- "),
            std::string::npos);
}

TEST(ReportText, DfLineUsesALeftJustifiedCriticalValue) {
  ReportSample s = synthetic_results(2);
  s.locus().df = 1;
  s.locus().x2_obs = 0.0f;
  s.locus().x2_crit = 3.841f;
  EXPECT_NE(s.text(frozen_time()).find("\n\ndf = 1, X2 = 0, chi-sq_05 = 3.841  \n"),
            std::string::npos);
  s.locus().x2_crit = 124.342f;
  EXPECT_NE(s.text(frozen_time()).find("chi-sq_05 = 124.342\n"),
            std::string::npos);
}

TEST(ReportText, WithoutMonteCarloTheReportEndsAfterTheFixedCriticalValue) {
  ReportSample s = sample_results();
  const std::string text = s.text(frozen_time());
  EXPECT_EQ(text.substr(text.size() - 20), "<- chi-sq_05 = 3.841");
  EXPECT_EQ(text.find("Monte Carlo"), std::string::npos);
}

TEST(ReportText, MonteCarloBlockWithAllIntervals) {
  ReportSample s = with_monte_carlo();
  EXPECT_EQ(monte_carlo_block(s),
            "\n\n\tMonte Carlo testing:\n\t100 runs made:\n"
            "\t\testimated probability (P) of agreement to H-W is 0\n"
            "\t\testimated probability (P) of D=0   (one tail) is 0.4\n"
            "\t\testimated probability (P) of D=0 (both tails) is 0.75\n"
            "\n\n95% confidence intervals for probabilities (P):\n"
            "for H-W\n              -> 0 - 0.0095;\n\n"
            "for D\n"
            "D(one tail)   -> 0.305 - 0.499;\n"
            "D(both tails) -> 0.656 - 0.832;\n");
}

TEST(ReportText, MonteCarloColumnIsHitsOverRuns) {
  ReportSample s = with_monte_carlo();
  const std::string text = s.text(frozen_time());
  EXPECT_NE(text.find("|  M-Carlo Probability\n"), std::string::npos);
  EXPECT_NE(text.find("\n  ad        16           5.7736          18.1135         0.0700\n"),
            std::string::npos);
  EXPECT_NE(text.find("\n  gg        0            2.9481          2.9481          1.0000\n"),
            std::string::npos);

  // Hits and runs are unsigned: a count beyond INT32_MAX is not negative.
  s.mc().cell_hits[0] = 4294967295u;
  s.mc().runs_made = 4294967295u;
  EXPECT_NE(s.text(frozen_time()).find("  aa        10           6.1132          2.4712          1.0000\n"),
            std::string::npos);
}

TEST(ReportText, IntervalLinesAreLeftOutWhereEveryReplicateHit) {
  ReportSample s = with_monte_carlo();
  s.mc().hits_hw = 100;
  s.mc().hits_d_one = 100;
  std::string block = monte_carlo_block(s);
  EXPECT_EQ(block.find("for H-W"), std::string::npos);
  EXPECT_EQ(block.find("D(one tail)   ->"), std::string::npos);
  EXPECT_NE(block.find("(P):\nfor D\nD(both tails) -> 0.656 - 0.832;\n"), std::string::npos);

  s.mc().hits_d_both = 100;
  block = monte_carlo_block(s);
  EXPECT_EQ(block.substr(block.size() - 56),
            "\n\n95% confidence intervals for probabilities (P):\nfor D\n");
}

TEST(ReportText, TheExactSectionFollowsWithTheUnitsSeed) {
  ReportSample s = sample_results();
  const std::string classic = s.text(frozen_time());
  ExactResult& exact = s.unit.exact.emplace();
  exact.method = ExactMethod::kSampling;
  exact.tables = 500;
  s.unit.seed = 31;
  const std::string text = s.text(frozen_time());
  ASSERT_EQ(text.substr(0, classic.size()), classic);
  EXPECT_EQ(text.substr(classic.size()), build_exact_report_text(exact, 31));
  EXPECT_NE(text.find("500 tables drawn (seed 31):"), std::string::npos);
}

TEST(ReportBytes, EveryLineFeedIsStoredAsCarriageReturnLineFeed) {
  ReportSample s = with_monte_carlo();
  const std::string text = s.text(frozen_time());
  const std::string bytes = s.bytes(frozen_time());
  size_t line_feeds = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      ++line_feeds;
      ASSERT_GT(i, 0u);
      EXPECT_EQ(bytes[i - 1], '\r') << "at byte " << i;
    }
  }
  size_t text_line_feeds = 0;
  for (char c : text) text_line_feeds += c == '\n';
  EXPECT_EQ(line_feeds, text_line_feeds);
  EXPECT_EQ(bytes.size(), text.size() + text_line_feeds);
  EXPECT_EQ(bytes.substr(0, 3), "\r\n\t");
  EXPECT_EQ(to_crlf("a\nb\r\n"), "a\r\nb\r\r\n");
}
