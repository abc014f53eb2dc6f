#include "html/residual_triangle.h"

#include <gtest/gtest.h>

#include <cmath>

#include "text_search.h"

namespace {

CountFileFigures two_alleles(std::vector<double> observed, std::vector<double> expected) {
  CountFileFigures f;
  f.file = "two.txt";
  f.alleles = "AB";
  f.k = 2;
  f.n = 30;
  f.observed = std::move(observed);
  f.expected = std::move(expected);
  return f;
}

TEST(ResidualTriangle, ResidualsArePearsonsAndUndefinedWithoutAnExpectation) {
  const auto r = pearson_residuals(two_alleles({9, 2, 19}, {4, 16, 0}));
  ASSERT_EQ(r.size(), 3u);
  EXPECT_DOUBLE_EQ(r[0], 2.5);
  EXPECT_DOUBLE_EQ(r[1], -3.5);
  EXPECT_TRUE(std::isnan(r[2]));
}

TEST(ResidualTriangle, EachGenotypeIsACellWithItsFiguresAndTheLettersLabelTheSides) {
  // Residuals 2.5, -0.04 (written 0, not -0) and none.
  const Figure f = residual_triangle_figure(two_alleles({9, 24.8, 19}, {4, 25, 0}), "f7");
  const std::string out = f.body + f.caption;
  EXPECT_EQ(count_of(out, "class=\"res\""), 3u);
  EXPECT_NE(out.find("<title>AA: observed 9, expected 4, residual 2.5</title>"), std::string::npos);
  EXPECT_NE(out.find("<title>AB: observed 24.8, expected 25, residual -0.04</title>"), std::string::npos);
  EXPECT_NE(out.find("<title>BB: observed 19, expected 0, residual NA</title>"), std::string::npos);
  EXPECT_NE(out.find("fill=\"url(#f7-h)\""), std::string::npos);
  EXPECT_NE(out.find(">2.5</text>"), std::string::npos);
  EXPECT_NE(out.find(">0</text>"), std::string::npos);
  EXPECT_EQ(out.find(">-0</text>"), std::string::npos);
  EXPECT_NE(out.find(">A</text>"), std::string::npos);
  EXPECT_NE(out.find(">B</text>"), std::string::npos);
  EXPECT_NE(out.find("full colour at +-4 or beyond"), std::string::npos);
  // Each genotype is a row of the table, with the same figures.
  ASSERT_EQ(f.table.rows.size(), 3u);
  EXPECT_EQ(f.table.rows[1], (std::vector<std::string>{"AB", "24.8", "25", "-0.04"}));
  EXPECT_LE(f.width, kOneColumn);
}

}  // namespace
