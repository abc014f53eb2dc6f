#include "html/figure.h"

#include <gtest/gtest.h>

#include "html/heat_map.h"
#include "html/site_plots.h"
#include "html/text_width.h"
#include "sample_pages.h"
#include "text_search.h"

namespace {

constexpr double kPoint = 25.4 / 72;  // mm

TEST(Figure, AtItsPrintWidthEveryFigureSetsItsTextAtEightPointsOrMore) {
  EXPECT_EQ(print_width_mm(200), 85);
  EXPECT_EQ(print_width_mm(kOneColumn), 85);
  EXPECT_EQ(print_width_mm(kOneColumn + 1), 180);
  EXPECT_EQ(print_width_mm(kTwoColumns), 180);
  for (double width = 10; width < 3000; width += 7) {
    const double text_mm = kFontSize * print_width_mm(width) / width;
    EXPECT_GE(text_mm, 8 * kPoint - 1e-9) << width;
  }
  // Wider than two columns: exactly 8 pt.
  EXPECT_NEAR(kFontSize * print_width_mm(1400) / 1400, 8 * kPoint, 1e-12);
}

Figure sample() {
  Figure f;
  f.name = "qq_A";
  f.id = "f3";
  f.title = "plot of <A> & B";
  f.width = 330;
  f.height = 165;
  f.body = "<rect width=\"1\" height=\"1\"/>";
  f.caption = "read it \"so\"";
  f.table = {"the marks", {"site", "p"}, {{"1:5", "0.5"}, {"1:9", "0.01"}}};
  return f;
}

TEST(Figure, InlineTheSvgIsNamedByItsTitleAndDescribedByItsCaption) {
  std::string out;
  append_inline_figure(out, sample());
  EXPECT_TRUE(out.starts_with("<figure id=\"f3\"><svg xmlns=\"http://www.w3.org/2000/svg\" class=\"c1\" "
                              "width=\"440\" height=\"220\" aria-describedby=\"f3-c\" viewBox=\"0 0 330 165\" "
                              "role=\"img\" aria-labelledby=\"f3-t\""))
      << out;
  EXPECT_NE(out.find("<title id=\"f3-t\">plot of &lt;A&gt; &amp; B</title>"), std::string::npos);
  EXPECT_NE(out.find("<figcaption id=\"f3-c\">read it &quot;so&quot;<details><summary>the marks</summary>"),
            std::string::npos);
  EXPECT_NE(out.find("<tr><th scope=\"row\">1:9</th><td>0.01</td></tr>"), std::string::npos);
  EXPECT_EQ(count_of(out, "<th scope=\"col\">"), 2u);
  // Without rows, no table; wider than two columns, a region that scrolls.
  Figure wide = sample();
  wide.table.rows.clear();
  wide.width = 900;
  std::string w;
  append_inline_figure(w, wide);
  EXPECT_EQ(w.find("<details>"), std::string::npos);
  EXPECT_TRUE(w.starts_with("<div class=\"wide\" role=\"region\" tabindex=\"0\" aria-labelledby=\"f3-t\">"));
  EXPECT_NE(w.find("class=\"c3\""), std::string::npos);
}

TEST(Figure, StandaloneTheDocumentIsSizedForPrintAndCarriesItsStyle) {
  const std::string svg = standalone_svg(sample());
  EXPECT_TRUE(svg.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
                              "width=\"85mm\" height=\"42.5mm\" viewBox=\"0 0 330 165\""));
  EXPECT_NE(svg.find("<desc>read it &quot;so&quot;</desc><style>"), std::string::npos);
  EXPECT_NE(svg.find(std::string("font-family=\"") + kFontFamily + "\""), std::string::npos);
  EXPECT_EQ(svg.find("<details>"), std::string::npos);
  EXPECT_TRUE(svg.ends_with("<rect width=\"1\" height=\"1\"/></svg>\n"));
}

TEST(HeatMap, TheCattleMapFitsTwoColumnsWithEveryLabelWhole) {
  const PageData page = long_labels_page();
  const HeatMapData& cattle = page.genepop[0];
  const Figure f = heat_map_figure(cattle, page.summaries, "f1");
  EXPECT_LE(f.width, kTwoColumns);
  // Every label that fits a margin is there whole; the three that do not are
  // shortened, their whole text (escaped) in their title.
  EXPECT_NE(f.body.find(">8 BlondeAquitaine_FRBTBDA29970</text>"), std::string::npos);
  EXPECT_EQ(count_of(f.body, "\xE2\x80\xA6<title>"), 3u);
  EXPECT_NE(f.body.find("<title>12 Limousin \xC3\xA9lev\xC3\xA9 \xE2\x80\x94 r\xC3\xA9seau &lt;b&gt;&amp;amp;&lt;/b&gt;"
                        "</title></text>"),
            std::string::npos);
  EXPECT_NE(f.body.find("<title>HAUT" + std::string(40, 'M') + "</title></text>"), std::string::npos);
  EXPECT_EQ(count_of(f.body, "class=\"cell\""), 450u);
  EXPECT_EQ(f.table.rows.size(), 450u);
  // The left margin holds the widest label that is not shortened.
  const double widest = text_width("9 BretPieNoire_FRBTBDA29987");
  const size_t first_cell = f.body.find("class=\"cell\" x=\"") + 16;
  EXPECT_GE(std::stod(f.body.substr(first_cell)), widest + 8);
}

TEST(HeatMap, ManyLociShrinkTheCellsThenGoBeyondTwoColumns) {
  const PageData page = long_labels_page();
  const Figure f = heat_map_figure(page.genepop[1], page.summaries, "f2");
  EXPECT_GT(f.width, kTwoColumns);
  EXPECT_NE(f.body.find("class=\"cell\" x=\"" ), std::string::npos);
  EXPECT_NE(f.body.find("width=\"13\" height=\"13\""), std::string::npos);
}

TEST(HeatMap, WithoutAnyQBhTheMapShowsP) {
  PageData page;
  for (int locus = 0; locus < 3; ++locus) {
    UnitFigures u;
    u.style = PageStyle::kGenepop;
    u.file = "f.gen";
    u.population = 1;
    const std::string name = std::string("L").append(std::to_string(locus));
    u.locus = name;
    u.p = locus == 0 ? 0.001 : 0.5;
    u.f_is = -0.2;
    add_unit(page, u);
  }
  const Figure f = heat_map_figure(page.genepop[0], {}, "f1");
  EXPECT_NE(f.caption.find("colour: -log10 p on the fixed scale"), std::string::npos);
  EXPECT_NE(f.body.find(">colour: \xE2\x88\x92log10 p (above) and p (below)</text>"), std::string::npos);
  EXPECT_EQ(count_of(f.body, "class=\"cell na\""), 0u);
  // One cell below 0.05, an excess: a "+" beside the legend's two keys.
  size_t v = 0;
  for (size_t at = f.body.find("class=\"dir\""); at != std::string::npos; at = f.body.find("class=\"dir\"", at + 1))
    v += count_of(f.body.substr(at, f.body.find("/>", at) - at), "v");
  EXPECT_EQ(v, 2u);
}

TEST(SitePlots, TheStrongestSitesAreMarksOfTheirOwnWhateverTheOrderTheyCameIn) {
  PageData a, b;
  std::vector<UnitFigures> sites;
  for (int i = 0; i < 60; ++i) {
    UnitFigures u;
    u.style = PageStyle::kVcf;
    u.file = "v.vcf";
    u.population_name = "all";
    u.chrom = i % 2 ? "2" : "1";
    u.pos = 100 + i;
    // Ties in p: the titled ones are chosen by chromosome and position.
    u.p = i % 3 == 0 ? 1e-9 : 0.3;
    u.q_bh = u.p;
    u.genotypes = {10, 5, 5};
    sites.push_back(u);
  }
  for (const UnitFigures& u : sites) add_unit(a, u);
  for (size_t i = sites.size(); i-- > 0;) add_unit(b, sites[i]);
  const auto qa = qq_figure(a.vcf[0], "f1"), qb = qq_figure(b.vcf[0], "f1");
  ASSERT_TRUE(qa && qb);
  EXPECT_EQ(count_of(qa->body, "<title>"), kTitledSites);
  ASSERT_EQ(qa->table.rows.size(), kTitledSites);
  EXPECT_EQ(qa->table.rows[0], (std::vector<std::string>{"1:100", "1e-09", "1e-09", "10/5/5"}));
  // The chromosomes came in the other order, so their indices differ; the
  // sites marked and listed do not.
  EXPECT_EQ(qa->table.rows.size(), qb->table.rows.size());
  std::vector<std::string> la, lb;
  for (const auto& r : qa->table.rows) la.push_back(r[0]);
  for (const auto& r : qb->table.rows) lb.push_back(r[0]);
  std::sort(la.begin(), la.end());
  std::sort(lb.begin(), lb.end());
  EXPECT_EQ(la, lb);
  const auto da = de_finetti_figure(a.vcf[0], "f2");
  ASSERT_TRUE(da);
  EXPECT_EQ(count_of(da->body, "<title>"), kTitledSites);
}

}  // namespace
