#include "html/colour_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(ColourScale, FisDecidesTheDirectionAndDOnlyWithoutIt) {
  EXPECT_EQ(direction_of(0.2, 0.5), Direction::kDeficit);   // f_is wins over d
  EXPECT_EQ(direction_of(-0.2, -0.5), Direction::kExcess);
  EXPECT_EQ(direction_of(kNaN, -0.5), Direction::kDeficit);  // d < 0: fewer heterozygotes
  EXPECT_EQ(direction_of(kNaN, 0.5), Direction::kExcess);
  EXPECT_EQ(direction_of(0.0, 0.5), Direction::kNone);
  EXPECT_EQ(direction_of(kNaN, kNaN), Direction::kNone);
  EXPECT_EQ(css(hue_of(Direction::kDeficit)), "#b2182b");
  EXPECT_EQ(css(hue_of(Direction::kExcess)), "#2166ac");
}

// Entries of the full 256-colour viridis table, not among the stops kept.
struct TableEntry {
  int index;
  Rgb colour;
};
constexpr TableEntry kViridisEntries[] = {
    {37, {70, 51, 127}}, {100, {42, 118, 142}}, {180, {70, 192, 111}}, {211, {139, 214, 70}}, {250, {241, 229, 29}}};

TEST(ColourScale, StrengthIsViridisOnAFixedScaleFromPaleToDark) {
  EXPECT_EQ(css(strength_colour(0)), "#fde725");  // the table's last entry
  EXPECT_EQ(css(strength_colour(kNaN)), "#fde725");
  EXPECT_EQ(css(strength_colour(5)), "#440154");  // its first
  EXPECT_EQ(css(strength_colour(40)), "#440154");
  EXPECT_EQ(css(strength_colour(kInf)), "#440154");
  // Between the stops, the interpolation stays within a step of the table.
  for (const TableEntry& e : kViridisEntries) {
    const Rgb c = strength_colour(kStrengthTop * (1 - e.index / 255.0));
    EXPECT_LE(std::abs(c.r - e.colour.r), 2) << e.index;
    EXPECT_LE(std::abs(c.g - e.colour.g), 2) << e.index;
    EXPECT_LE(std::abs(c.b - e.colour.b), 2) << e.index;
  }
  // More evidence is never lighter.
  double last = 2;
  for (double v = 0; v <= 5.001; v += 0.05) {
    const double y = relative_luminance(strength_colour(v));
    EXPECT_LT(y, last) << v;
    last = y;
  }
  EXPECT_DOUBLE_EQ(kStrengthTicks[1].value, -std::log10(0.05));
  EXPECT_STREQ(kStrengthTicks[4].q_label, "\xE2\x89\xA4" "0.00001");
}

TEST(ColourScale, ResidualsAreRdBuRedAboveBlueBelowOnAFixedScale) {
  EXPECT_EQ(css(residual_colour(0)), "#f7f7f7");
  EXPECT_EQ(css(residual_colour(kNaN)), "#f7f7f7");
  EXPECT_EQ(css(residual_colour(4)), "#67001f");
  EXPECT_EQ(css(residual_colour(9)), "#67001f");
  EXPECT_EQ(css(residual_colour(-4)), "#053061");
  // +0.4 is halfway between the classes at 0.4 (#fddbc7) and 0.5 (#f7f7f7).
  EXPECT_EQ(css(residual_colour(0.4)), "#fae9df");
  EXPECT_EQ(css(residual_colour(-0.8)), "#d1e5f0");
}

TEST(ColourScale, TheLegendsGradientsDrawWhatTheMarksShow) {
  const auto strength = strength_stops();
  ASSERT_EQ(strength.size(), 33u);
  EXPECT_EQ(strength.front().offset, 0);
  EXPECT_EQ(strength.back().offset, 1);
  for (size_t i = 0; i < strength.size(); ++i) {
    if (i > 0) {
      EXPECT_GT(strength[i].offset, strength[i - 1].offset);
    }
    EXPECT_EQ(css(strength[i].colour), css(strength_colour(strength[i].offset * kStrengthTop))) << i;
  }
  const auto residual = residual_stops();
  ASSERT_EQ(residual.size(), 11u);
  for (const GradientStop& s : residual)
    EXPECT_EQ(css(s.colour), css(residual_colour((2 * s.offset - 1) * kResidualTop))) << s.offset;
  EXPECT_EQ(css({1, 171, 255}), "#01abff");
  EXPECT_NEAR(relative_luminance({255, 255, 255}), 1, 1e-12);
  EXPECT_EQ(relative_luminance({0, 0, 0}), 0);
}

}  // namespace
