#include "html/colour_scale.h"

#include <gtest/gtest.h>

#include <cmath>
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
}

TEST(ColourScale, StrengthRunsFromWhiteToTheHueAndStaysThere) {
  const std::string deficit = css(hue_of(Direction::kDeficit));
  const std::string excess = css(hue_of(Direction::kExcess));
  EXPECT_NE(deficit, excess);
  EXPECT_EQ(css(strength_colour(0, 4, Direction::kDeficit)), "#ffffff");
  EXPECT_EQ(css(strength_colour(kNaN, 4, Direction::kDeficit)), "#ffffff");
  EXPECT_EQ(css(strength_colour(4, 4, Direction::kDeficit)), deficit);
  EXPECT_EQ(css(strength_colour(40, 4, Direction::kExcess)), excess);
  EXPECT_EQ(css(strength_colour(kInf, 4, Direction::kExcess)), excess);
  // Stronger is never lighter.
  int last = 3 * 255;
  for (double v = 0; v <= 4; v += 0.25) {
    const Rgb c = strength_colour(v, 4, Direction::kDeficit);
    EXPECT_LE(c.r + c.g + c.b, last) << v;
    last = c.r + c.g + c.b;
  }
  const Rgb half = strength_colour(2, 4, Direction::kExcess);
  const Rgb hue = hue_of(Direction::kExcess);
  EXPECT_EQ(half.b, static_cast<int>(std::lround((255 + hue.b) / 2.0)));
}

TEST(ColourScale, ResidualsAreRedAboveBlueBelowWhiteAtZero) {
  EXPECT_EQ(css(residual_colour(0, 3)), "#ffffff");
  EXPECT_EQ(css(residual_colour(5, 3)), css(hue_of(Direction::kDeficit)));
  EXPECT_EQ(css(residual_colour(-3, 3)), css(hue_of(Direction::kExcess)));
  EXPECT_EQ(css(residual_colour(kNaN, 3)), "#ffffff");
}

TEST(ColourScale, ScaleTopIsAWholeNumberWithinItsBounds) {
  EXPECT_EQ(scale_top(0.3, 2, 10), 2);
  EXPECT_EQ(scale_top(3.2, 2, 10), 4);
  EXPECT_EQ(scale_top(4, 2, 10), 4);
  EXPECT_EQ(scale_top(250, 2, 10), 10);
  EXPECT_EQ(scale_top(kNaN, 2, 10), 2);
  EXPECT_EQ(css({1, 171, 255}), "#01abff");
}

}  // namespace
