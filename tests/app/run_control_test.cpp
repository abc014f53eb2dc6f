#include "app/run_control.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "app/screen_rows.h"
#include "console/console.h"
#include "console/console_script.h"
#include "montecarlo/mc_sample.h"
#include "stats/proportion_limits.h"

namespace {

// The arrows of the progress labels and of the interval lines.
const std::string kLabelArrow = glyphs({kGlyphDoubleHorizontal, kGlyphRightTriangle});
const std::string kIntervalArrow = glyphs({kGlyphRightTriangle});



std::string interval_text(float p, double n) {
  double low = 0;
  double high = 0;
  prob_ci_95(p, &low, &high, n);
  char text[64];
  std::snprintf(text, sizeof text, "%-g - %-g;", p == 0.0f ? 0.0 : low, high);
  return text;
}

std::vector<int> typed_runs(const std::string& digits) {
  std::vector<int> keys = {'n'};
  for (char c : digits) keys.push_back(c);
  keys.push_back(kKeyEnter);
  return keys;
}

class RunControl : public ::testing::Test {
 protected:
  McResults state{};

  void run(LocusAnalysis& s, const std::vector<int>& keys) {
    con_reset_for_test(keys);
    con_set_attr(kColorWhite);
    con_goto(1, 4);
    ASSERT_EQ(run_monte_carlo(s, state), McScreenStatus::kDone);
  }
};

// aa:1 ab:2 bb:1 fits Hardy-Weinberg exactly: X2 = 0 and D = 0, so every
// replicate is a hit for all three tests and no interval is shown.
TEST_F(RunControl, EveryReplicateAHitLeavesTheIntervalsOut) {
  LocusAnalysis s = analysed_locus(2, {{0, 0, 1}, {0, 1, 2}, {1, 1, 1}});
  ASSERT_EQ(s.x2_obs, 0.0f);
  ASSERT_EQ(s.d_obs, 0.0f);
  run(s, typed_runs("25"));
  EXPECT_EQ(state.runs_made, 25u);
  EXPECT_EQ(state.hits_hw, 25u);
  EXPECT_EQ(state.hits_d_one, 25u);
  EXPECT_EQ(state.hits_d_both, 25u);
  EXPECT_EQ(state.p_hw, 1.0f);

  EXPECT_EQ(trimmed_row(1), "");
  EXPECT_EQ(trimmed_row(2), "95% confidence intervals for probabilities (P):");
  EXPECT_EQ(trimmed_row(3), "for D");
  for (int row = 4; row <= 10; ++row) EXPECT_EQ(trimmed_row(row), "") << row;
  // 25 runs: a bar of 10 cells, full at the end.
  EXPECT_EQ(trimmed_row(11), std::string(9, ' ') + "runs made " + glyph(kGlyphDownArrow));
  EXPECT_EQ(trimmed_row(12), std::string(18, ' ') + "25");
  EXPECT_EQ(trimmed_row(13), "  " + std::string(10, glyph(kGlyphFullBlock)));
  EXPECT_EQ(trimmed_row(14), "");
  EXPECT_EQ(trimmed_row(17), "  df: 1");
  EXPECT_EQ(trimmed_row(18), "  " + std::string(45, glyph(kGlyphUpperHalfBlock)));
  EXPECT_EQ(trimmed_row(19), "  Prob. null hypoth. (chi-sq)        " + kLabelArrow + "1");
  EXPECT_EQ(trimmed_row(20), "  Prob. null hypoth. (D, one tail)   " + kLabelArrow + "1");
  EXPECT_EQ(trimmed_row(21), "  Prob. null hypoth. (D, both tails) " + kLabelArrow + "1");
  const std::string elapsed = trimmed_row(16);
  const std::string lead = "  time elapsed since beginning of randomization: ";
  ASSERT_GT(elapsed.size(), lead.size() + 4);
  EXPECT_EQ(elapsed.substr(0, lead.size()), lead);
  EXPECT_EQ(elapsed.substr(elapsed.size() - 4), " sec");
  EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(elapsed[lead.size()])));

  EXPECT_EQ(con_cell(3, 13).attr, kColorWhite);
  EXPECT_EQ(con_cell(12, 13).attr, kColorWhite);
  EXPECT_EQ(con_cell(47, 18).attr, kColorLightBlue);
  EXPECT_EQ(con_cell(3, 19).attr, kColorWhite);
  EXPECT_EQ(con_cell(40, 21).attr, kColorWhite);
  EXPECT_EQ(con_model().cursor_type, kCursorNormal);
  EXPECT_EQ(con_model().attribute, kColorWhite);
}

// aa:50 bb:50: no random pairing of 100 copies of each allele comes near
// 100 homozygotes, so no replicate is a hit and every interval starts at 0.
TEST_F(RunControl, NoHitShowsIntervalsFromZero) {
  LocusAnalysis s = analysed_locus(2, {{0, 0, 50}, {1, 1, 50}});
  ASSERT_EQ(s.d_obs, -1.0f);
  run(s, {'y'});
  EXPECT_EQ(state.runs_made, 3200u);
  EXPECT_EQ(state.hits_hw, 0u);
  EXPECT_EQ(state.hits_d_one, 0u);
  EXPECT_EQ(state.hits_d_both, 0u);
  EXPECT_EQ(state.ci_hw_low, 0.0);
  EXPECT_EQ(state.ci_d_one_low, 0.0);
  EXPECT_EQ(state.ci_d_both_low, 0.0);
  EXPECT_NEAR(state.ci_hw_high, 0.0003001, 1e-7);

  const std::string interval = interval_text(0.0f, 3200);
  EXPECT_EQ(trimmed_row(2), "95% confidence intervals for probabilities (P):");
  EXPECT_EQ(trimmed_row(3), "for H-W");
  EXPECT_EQ(trimmed_row(4), "              -" + kIntervalArrow + "  " + interval);
  EXPECT_EQ(trimmed_row(5), "");
  EXPECT_EQ(trimmed_row(6), "for D");
  EXPECT_EQ(trimmed_row(7), "D(one tail)   -" + kIntervalArrow + "  " + interval);
  EXPECT_EQ(trimmed_row(8), "D(both tails) -" + kIntervalArrow + "  " + interval);
  EXPECT_EQ(trimmed_row(12), std::string(53, ' ') + "3200");
  EXPECT_EQ(trimmed_row(13), "  " + std::string(45, glyph(kGlyphFullBlock)));
  EXPECT_EQ(trimmed_row(19), "  Prob. null hypoth. (chi-sq)        " + kLabelArrow + "0");
}

// ab:2: every replicate's chi-square and |D| equal the observed ones, so only
// the one-tailed D test depends on the draws.
TEST_F(RunControl, EscAfterTheSecondReplicateKeepsBothRuns) {
  LocusAnalysis s = analysed_locus(2, {{0, 1, 2}});
  run(s, {'y', 'x', kKeyEsc});
  EXPECT_EQ(state.runs_made, 2u);
  EXPECT_EQ(state.hits_hw, 2u);
  EXPECT_EQ(state.hits_d_both, 2u);
  EXPECT_LE(state.hits_d_one, 2u);
  for (int32_t c = 0; c < s.cells; ++c) EXPECT_EQ(state.cell_hits[c], 2u) << c;
  EXPECT_TRUE(state.stopped);
  EXPECT_EQ(trimmed_row(14), "  calculations interrupted by user");
  // The first step draws nothing; Esc came before the second: only the
  // closing block stands.
  EXPECT_EQ(trimmed_row(13), "  " + glyphs({kGlyphFullBlock}) + std::string(44, glyph(kGlyphLightShade)));
  EXPECT_EQ(trimmed_row(12), std::string(53, ' ') + "2");
  EXPECT_EQ(trimmed_row(2), "95% confidence intervals for probabilities (P):");
  EXPECT_EQ(trimmed_row(3), "for D");
  if (state.hits_d_one != 2) {
    EXPECT_EQ(trimmed_row(4), "D(one tail)   -" + kIntervalArrow + "  " + interval_text(state.p_d_one, 2));
  }
}

TEST_F(RunControl, SingleRunFillsOneCellOfTheShortBar) {
  LocusAnalysis s = analysed_locus(2, {{0, 1, 2}});
  run(s, typed_runs("1"));
  EXPECT_EQ(state.runs_made, 1u);
  EXPECT_EQ(trimmed_row(13), "  " + glyphs({kGlyphFullBlock, kGlyphLightShade}));
  EXPECT_EQ(trimmed_row(11), " runs made " + glyphs({kGlyphDownArrow}));
  EXPECT_EQ(trimmed_row(12), std::string(10, ' ') + "1");
}

TEST_F(RunControl, ZeroRunsEndsTheProgram) {
  LocusAnalysis s = analysed_locus(2, {{0, 1, 2}});
  con_reset_for_test(typed_runs("0"));
  EXPECT_EQ(run_monte_carlo(s, state), McScreenStatus::kNoRuns);
  EXPECT_EQ(state.runs_made, 0u);
}

TEST_F(RunControl, HelpScreenSampleWithTheDefaultRuns) {
  LocusAnalysis s =
      analysed_locus(39, {{33, 34, 1}, {32, 32, 10}, {36, 38, 25}, {32, 35, 16}, {33, 35, 1}});
  run(s, {'y'});
  EXPECT_EQ(state.runs_made, 3200u);
  EXPECT_EQ(trimmed_row(17), "  df: 15");
  EXPECT_EQ(trimmed_row(11), std::string(44, ' ') + "runs made " + glyph(kGlyphDownArrow));
  EXPECT_EQ(trimmed_row(13), "  " + std::string(45, glyph(kGlyphFullBlock)));
  EXPECT_EQ(state.p_hw, static_cast<float>(static_cast<long double>(state.hits_hw) / 3200));
  uint32_t hits = 0;
  for (int32_t c = 0; c < s.cells; ++c) {
    EXPECT_LE(state.cell_hits[c], 3200u);
    hits += state.cell_hits[c];
  }
  EXPECT_GT(hits, 0u);
  // Lines are shown for the probabilities below 1.
  int row = 3;
  if (state.hits_hw != 3200) {
    EXPECT_EQ(trimmed_row(row), "for H-W");
    EXPECT_EQ(trimmed_row(row + 1), "              -" + kIntervalArrow + "  " + interval_text(state.p_hw, 3200));
    row += 3;
  }
  EXPECT_EQ(trimmed_row(row), "for D");
}

}  // namespace
