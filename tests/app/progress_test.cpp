#include <gtest/gtest.h>

#include <vector>

#include "app/screen_rows.h"
#include "console/console.h"
#include "console/console_script.h"
#include "app/progress_bar.h"
#include "app/progress_screen.h"

namespace {


TEST(RefreshInterval, MatchesTheTableForEverySampleSize) {
  struct Band {
    int32_t from, to, every;
  };
  const std::vector<Band> table = {{5, 7, 110},    {8, 15, 100},  {16, 24, 90},  {25, 34, 80},
                                   {35, 46, 70},   {47, 60, 60},  {61, 79, 50},  {80, 110, 40},
                                   {111, 384, 30}, {385, 500, 20}};
  for (const Band& band : table) {
    for (int32_t two_n = band.from; two_n <= band.to; ++two_n) {
      EXPECT_EQ(refresh_interval(two_n), band.every) << "two_n " << two_n;
    }
  }
}

TEST(RefreshInterval, FixedBelowFiveAndAboveFiveHundred) {
  EXPECT_EQ(refresh_interval(4), 150);
  EXPECT_EQ(refresh_interval(2), 150);
  EXPECT_EQ(refresh_interval(501), 10);
  EXPECT_EQ(refresh_interval(502), 10);
  EXPECT_EQ(refresh_interval(2000000), 10);
}

TEST(BarLength, EveryBoundary) {
  const std::vector<std::pair<uint32_t, int32_t>> cases = {
      {0, 2},    {9, 2},    {10, 10},  {50, 10},  {51, 15},  {150, 15},   {151, 20},
      {300, 20}, {301, 25}, {500, 25}, {501, 30}, {1000, 30}, {1001, 45}, {65000, 45}};
  for (const auto& [runs, length] : cases) EXPECT_EQ(bar_length_for(runs), length) << runs;
}

TEST(BarLength, DrawsTheEmptyBarInCyan) {
  con_reset_for_test();
  int32_t x = 0;
  int32_t y = 0;
  EXPECT_EQ(bar_length_for_runs(kGlyphLightShade, &x, &y, 151), 20);
  EXPECT_EQ(x, 3);
  EXPECT_EQ(y, 13);
  EXPECT_EQ(con_row_text(13), "  " + std::string(20, glyph(kGlyphLightShade)) + std::string(58, ' '));
  EXPECT_EQ(con_cell(3, 13).attr, kColorCyan);
  EXPECT_EQ(con_cell(22, 13).attr, kColorCyan);
  EXPECT_EQ(con_model().attribute, kColorLightGray);
}

TEST(ProgressScreen, EscNoteInBlueWithEscInWhite) {
  con_reset_for_test();
  draw_esc_note();
  EXPECT_EQ(con_row_text(2).substr(0, 45), "Press Esc to terminate Monte Carlo simulation");
  EXPECT_EQ(con_row_text(3).substr(0, 32), "(results obtained will be saved)");
  EXPECT_EQ(con_cell(1, 2).attr, kColorLightBlue);
  EXPECT_EQ(con_cell(7, 2).attr, kColorWhite);
  EXPECT_EQ(con_cell(10, 2).attr, kColorLightBlue);
  EXPECT_EQ(con_cell(1, 3).attr, kColorLightBlue);
}

// The block schedule against the test made at every replicate.
TEST(ProgressSchedule, SameReplicatesAsTestingEveryOne) {
  for (uint32_t runs : {1u, 2u, 3u, 9u, 10u, 11u, 33u, 50u, 51u, 149u, 300u, 499u, 1000u, 1001u,
                        3200u, 4999u, 65000u}) {
    const float runs_f = static_cast<float>(runs);
    const int32_t length = bar_length_for(runs);
    float blocks = 0.0f;
    float next = 0.0f;
    std::vector<uint32_t> literal;
    for (uint32_t i = 0; i < runs; ++i) {
      if (progress_step_due(next, i, runs_f)) {
        literal.push_back(i);
        blocks += 1.0f;
        next = static_cast<float>(static_cast<long double>(blocks) / length);
      }
    }
    blocks = 0.0f;
    next = 0.0f;
    std::vector<uint32_t> scheduled;
    for (uint32_t i = next_progress_step(next, 0, runs_f, runs); i < runs;
         i = next_progress_step(next, i + 1, runs_f, runs)) {
      scheduled.push_back(i);
      blocks += 1.0f;
      next = static_cast<float>(static_cast<long double>(blocks) / length);
    }
    EXPECT_EQ(scheduled, literal) << "runs " << runs;
    // Steps at 0 (drawing nothing) and then at most bar_length - 1 blocks.
    ASSERT_FALSE(literal.empty());
    EXPECT_EQ(literal.front(), 0u);
    EXPECT_LE(literal.size(), static_cast<size_t>(length));
    if (runs >= 2) {
      EXPECT_EQ(literal.size(), static_cast<size_t>(length)) << "runs " << runs;
    }
  }
}

TEST(ProgressSchedule, TenRunsStepAtEveryReplicate) {
  std::vector<uint32_t> steps;
  float blocks = 0.0f;
  float next = 0.0f;
  for (uint32_t i = next_progress_step(next, 0, 10.0f, 10); i < 10;
       i = next_progress_step(next, i + 1, 10.0f, 10)) {
    steps.push_back(i);
    blocks += 1.0f;
    next = static_cast<float>(static_cast<long double>(blocks) / 10);
  }
  EXPECT_EQ(steps, (std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

}  // namespace
