#include "html/page_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "html/site_plots.h"
#include "sample_pages.h"
#include "text_search.h"

namespace {

// The figure whose SVG title starts with `label`, the n-th of them.
std::string figure_labelled(const std::string& page, const std::string& label, int nth = 0) {
  size_t at = 0;
  for (int i = 0; i <= nth; ++i) {
    at = page.find("-t\">" + label, at + 1);
    if (at == std::string::npos) return {};
  }
  const size_t start = page.rfind("<figure ", at);
  return page.substr(start, page.find("</figure>", at) - start);
}

// The points of a figure: "M" commands in its point paths (legend keys aside).
size_t points_in(const std::string& fig) {
  size_t n = 0;
  const std::string open = "<path class=\"pts\"";
  for (size_t at = fig.find(open); at != std::string::npos; at = fig.find(open, at + 1)) {
    const size_t d = fig.find(" d=\"", at) + 4;
    const std::string path = fig.substr(d, fig.find('"', d) - d);
    n += count_of(path, "M");
  }
  return n;
}

struct Expected {
  int64_t strong = 0, weak_seen = 0, weak_kept = 0, biallelic_kept = 0, na = 0;
};

// The sample sites counted straight from their formulas.
Expected expected_sites(int64_t n, int64_t pop, int64_t cap) {
  Expected e;
  std::vector<int64_t> weak_index;
  for (int64_t i = 0; i < n; ++i) {
    const double p = sample_site_p(i, n, pop);
    if (std::isnan(p)) {
      ++e.na;
      continue;
    }
    const bool biallelic = i % 10 != 9;
    if (p <= 0.01) {
      ++e.strong;
      e.biallelic_kept += biallelic;
    } else {
      weak_index.push_back(biallelic);
    }
  }
  e.weak_seen = static_cast<int64_t>(weak_index.size());
  int64_t stride = 1;
  while ((e.weak_seen + stride - 1) / stride > cap) stride *= 2;
  for (int64_t w = 0; w < e.weak_seen; w += stride) {
    ++e.weak_kept;
    e.biallelic_kept += weak_index[w];
  }
  return e;
}

TEST(PageWriter, TheSmallSampleHoldsItsMarks) {
  const PageData data = small_sample_page(600);
  const std::string page = render_page(data);
  EXPECT_EQ(count_of(page, "class=\"cell\""), 11u);
  EXPECT_EQ(count_of(page, "class=\"cell na\""), 1u);
  EXPECT_EQ(count_of(page, "class=\"bar\""), 7u);
  EXPECT_EQ(count_of(page, "class=\"res\""), 3u + 6u + 10u);
  for (int pop = 0; pop < 2; ++pop) {
    const Expected e = expected_sites(600, pop, kThinningCap);
    EXPECT_EQ(e.weak_kept, e.weak_seen);
    EXPECT_EQ(points_in(figure_labelled(page, "quantile-quantile", pop)), e.strong + e.weak_kept);
    EXPECT_EQ(points_in(figure_labelled(page, "-log10 p along", pop)), e.strong + e.weak_kept);
    EXPECT_EQ(points_in(figure_labelled(page, "de Finetti", pop)), e.biallelic_kept);
    EXPECT_EQ(data.vcf[pop].na_sites, e.na);
  }
  EXPECT_EQ(count_of(page, "<figure "), 1u + 2 * 3 + 3);
}

TEST(PageWriter, AGenomeScalePageIsThinnedAndSmall) {
  const int64_t n = 28501;
  const PageData data = genome_sample_page(n);
  const std::string page = render_page(data);
  for (int pop = 0; pop < 2; ++pop) {
    const Expected e = expected_sites(n, pop, kThinningCap);
    EXPECT_GT(e.weak_seen, kThinningCap);
    EXPECT_LE(e.weak_kept, kThinningCap);
    const std::string qq = figure_labelled(page, "quantile-quantile", pop);
    EXPECT_EQ(points_in(qq), e.strong + e.weak_kept);
    EXPECT_EQ(points_in(figure_labelled(page, "-log10 p along", pop)), e.strong + e.weak_kept);
    EXPECT_EQ(points_in(figure_labelled(page, "de Finetti", pop)), e.biallelic_kept);
    // The caption says how many were drawn of how many.
    EXPECT_NE(qq.find("all " + std::to_string(e.strong) + " sites with -log10 p &gt;= 2 and " +
                      std::to_string(e.weak_kept) + " of the " + std::to_string(e.weak_seen) +
                      " others (every 2nd, at most 20000)"),
              std::string::npos);
    // p = 0 is drawn at the top and said so.
    EXPECT_NE(qq.find("p = 0"), std::string::npos);
  }
  EXPECT_LT(page.size(), 5u * 1000 * 1000);
}

TEST(PageWriter, EveryTextFromTheRunIsEscaped) {
  const std::string page = render_page(small_sample_page(50));
  EXPECT_NE(page.find("cattle &amp; co &lt;test&gt;.gen"), std::string::npos);
  EXPECT_EQ(page.find("<test>"), std::string::npos);
  EXPECT_EQ(page.find("pop<1>"), std::string::npos);
  EXPECT_NE(page.find("1 pop&lt;1&gt;"), std::string::npos);
  EXPECT_NE(page.find("&quot;out &amp; &lt;more&gt;.html&quot;"), std::string::npos);
  EXPECT_EQ(page.find("<script"), std::string::npos);
  // Nothing is fetched: no external reference of any kind.
  for (const char* ref : {"src=", "href=", "@import", "url(http", "<link"})
    EXPECT_EQ(page.find(ref), std::string::npos) << ref;
}

TEST(PageWriter, ScalesAreStated) {
  const std::string page = render_page(small_sample_page(50));
  EXPECT_NE(page.find("colour: -log10 q_bh on the fixed scale of every page, from 0 (pale yellow) through "
                      "1.3 (q_bh 0.05), 2 (0.01) and 3 (0.001) to 5 or more"),
            std::string::npos);
  EXPECT_NE(page.find("full length at 5 or more"), std::string::npos);
  EXPECT_NE(page.find("full colour at +-4 or beyond"), std::string::npos);
  // The heat map's legend: its five ticks, and the q each stands for.
  for (const char* label : {">1.3</text>", ">0.05</text>", ">0.001</text>", ">\xE2\x89\xA5" "5</text>",
                            ">\xE2\x89\xA4" "0.00001</text>"})
    EXPECT_EQ(count_of(figure_labelled(page, "heat map"), label), 1u) << label;
  EXPECT_EQ(count_of(page, "<figcaption "), count_of(page, "<figure "));
}

// The first cell of a page (population 1, locus Locus1 of the samples).
std::string first_cell(const std::string& page) {
  const size_t at = page.find("<rect class=\"cell\"");
  return page.substr(at, page.find("</rect>", at) - at);
}

TEST(PageWriter, AColourMeansTheSameOnEveryPage) {
  PageData strong = small_sample_page(50);
  // One more population whose units reach -log10 q_bh 11: the rest of the
  // map keeps its colours, as it would on another data set's page.
  for (int locus = 1; locus <= 4; ++locus) {
    UnitFigures u;
    u.style = PageStyle::kGenepop;
    u.file = "cattle & co <test>.gen";
    u.population = 4;
    u.population_name = "strong";
    const std::string name = "Locus" + std::to_string(locus);
    u.locus = name;
    u.p = u.q_bh = 1e-11;
    u.f_is = 0.3;
    add_unit(strong, u);
  }
  const std::string page = render_page(small_sample_page(50)), other = render_page(strong);
  EXPECT_EQ(first_cell(page), first_cell(other));
  // q_bh 1 is the pale end of the scale, 1e-11 the dark end.
  EXPECT_NE(first_cell(page).find("fill=\"#fde725\""), std::string::npos);
  EXPECT_EQ(count_of(figure_labelled(other, "heat map"), "fill=\"#440154\""), 4u);
}

TEST(PageWriter, CountFilesStopAtFiftyWithANote) {
  const std::string page = render_page(count_files_page(52));
  EXPECT_EQ(count_of(page, "<figure "), 50u);
  EXPECT_NE(page.find("The first 50 count files are drawn; 2 more are in the rows only."),
            std::string::npos);
  EXPECT_EQ(render_page(count_files_page(50)).find("more are in the rows only"), std::string::npos);
}

TEST(PageWriter, AnEmptyRunGivesAPageThatSaysSo) {
  PageData data;
  data.header.seed = "clock";
  const std::string page = render_page(data);
  EXPECT_NE(page.find("No units to draw."), std::string::npos);
  EXPECT_EQ(page.find("<figure "), std::string::npos);
}

TEST(PageData, UnitsOfAGenepopFileFindTheirRowAndColumnInAnyOrder) {
  PageData data;
  const char* loci[3] = {"a", "b", "c"};
  for (int pop : {2, 1})
    for (int l : {2, 0, 1}) {
      UnitFigures u;
      u.style = PageStyle::kGenepop;
      u.file = "f.gen";
      u.population = pop;
      u.locus = loci[l];
      u.p = pop + l / 10.0;
      add_unit(data, u);
    }
  ASSERT_EQ(data.genepop.size(), 1u);
  const HeatMapData& m = data.genepop[0];
  ASSERT_EQ(m.loci, (std::vector<std::string>{"c", "a", "b"}));
  ASSERT_EQ(m.populations.size(), 2u);
  for (const HeatCell& c : m.cells) {
    const int locus = m.loci[c.locus][0] - 'a';
    EXPECT_DOUBLE_EQ(c.p, m.populations[c.population].number + locus / 10.0);
  }
}

TEST(PageData, SitesGoToTheirPopulationAndChromosome) {
  PageData data;
  auto site = [&](const char* pop, const char* chrom, int64_t pos, double p) {
    UnitFigures u;
    u.style = PageStyle::kVcf;
    u.file = "v.vcf";
    u.population_name = pop;
    u.chrom = chrom;
    u.pos = pos;
    u.p = p;
    add_unit(data, u);
  };
  site("x", "1", 500, 0.5);
  site("y", "1", 500, 0.5);
  site("x", "1", 100, 0.001);
  site("x", "2", 7, 0.2);
  site("x", "1", 900, kNoValue);
  ASSERT_EQ(data.vcf.size(), 2u);
  const SiteGroup& x = data.vcf[0];
  EXPECT_EQ(x.population, "x");
  ASSERT_EQ(x.chroms.size(), 2u);
  EXPECT_EQ(x.chroms[0].first, 100);
  EXPECT_EQ(x.chroms[0].last, 500);  // the NA site is not drawn, so it spans nothing
  EXPECT_EQ(x.na_sites, 1);
  EXPECT_EQ(sites_seen(x.sites), 3);
  EXPECT_EQ(x.sites.strong.size(), 1u);
  EXPECT_EQ(x.sites.weak[1].chrom, 1);
  EXPECT_EQ(sites_seen(data.vcf[1].sites), 1);
}

TEST(SitePlots, QBhClassesAndOrdinals) {
  EXPECT_EQ(q_class(kNoValue), 0);
  EXPECT_EQ(q_class(0.05), 0);
  EXPECT_EQ(q_class(0.0499), 1);
  EXPECT_EQ(q_class(0.01), 1);
  EXPECT_EQ(q_class(0.00999), 2);
  EXPECT_EQ(q_class(0.0), 3);
  ThinnedSites s;
  s.stride = 4;
  s.cap = 10;
  EXPECT_NE(thinning_note(s).find("every 4th, at most 10"), std::string::npos);
}

}  // namespace
