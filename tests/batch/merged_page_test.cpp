#include "batch/merged_page.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

const std::string kVcfHeader =
    "file\tchrom\tpos\tid\tref\talt\tpopulation\tk\tn\tmissing\tx2\tdf\tx2_crit\tp_x2\th_obs\t"
    "h_exp\the\tf_is\td\tknd2\tseed\tp_lead\tq_bh";

std::string vcf_row(const std::string& f_is, const std::string& d, const std::string& p_lead) {
  return "s.vcf\t1\t1234\trs1\tA\tG\tCEU\t2\t40\t0\t1\t1\t3.84\t0.3\t0.4\t0.5\t0.5\t" + f_is +
         "\t" + d + "\t0\t\t" + p_lead + "\t0.5";
}

struct Reading {
  const InputKind* kind = nullptr;
  std::string reason;
  std::optional<PageRowColumns> columns;
  explicit Reading(const std::string& header) { columns = page_row_columns(header, kind, reason); }
};

TEST(MergedPage, ARowReadsBackToTheFiguresTheRunKept) {
  Reading r(kVcfHeader);
  ASSERT_TRUE(r.columns) << r.reason;
  ResultsPage page{*r.kind, PageData{}, {}, {}};
  // 0.1 as a float is not the double 0.1: d must come back as the float.
  ASSERT_EQ(take_page_row(page, *r.columns, vcf_row("0.19999999999999998", "0.1", "1e-300")), "");
  ASSERT_EQ(take_page_row(page, *r.columns, vcf_row("NA", "NA", "NA")), "");
  ASSERT_EQ(page.waiting.size(), 2u);
  const PageRow& a = page.waiting[0];
  EXPECT_EQ(a.f_is, 0.19999999999999998);
  EXPECT_EQ(a.d, static_cast<double>(0.1f));
  EXPECT_EQ(a.p, 1e-300);
  EXPECT_EQ(a.pos, 1234);
  EXPECT_EQ((std::array{a.k, a.n}), (std::array{2, 40}));
  EXPECT_EQ(page.names.text[a.population_name], "CEU");
  EXPECT_EQ(page.names.text[a.chrom], "1");
  // No genotype count columns: the counts stay unknown.
  EXPECT_EQ(a.genotypes, (std::array<int32_t, 3>{-1, -1, -1}));
  const PageRow& b = page.waiting[1];
  EXPECT_TRUE(std::isnan(b.f_is) && std::isnan(b.d) && std::isnan(b.p));
}

TEST(MergedPage, GenotypeCountsAreTakenWhereTheRowsHaveThem) {
  Reading r(kVcfHeader + "\tn_hom_ref\tn_het\tn_hom_alt");
  ASSERT_TRUE(r.columns) << r.reason;
  ResultsPage page{*r.kind, PageData{}, {}, {}};
  ASSERT_EQ(take_page_row(page, *r.columns, vcf_row("0", "0", "0.5") + "\t9\t20\t11"), "");
  ASSERT_EQ(take_page_row(page, *r.columns, vcf_row("0", "0", "0.5") + "\tNA\tNA\tNA"), "");
  EXPECT_EQ(page.waiting[0].genotypes, (std::array<int32_t, 3>{9, 20, 11}));
  EXPECT_EQ(page.waiting[1].genotypes, (std::array<int32_t, 3>{-1, -1, -1}));
}

TEST(MergedPage, TheCountsOfATwoAlleleUnitComeFromItsGenotypeCounts) {
  // A site of three alleles whose population carries two (0 and 2): no
  // REF/ALT counts, but the page draws the two it has, as one run does.
  Reading r(kVcfHeader + "\tn_hom_ref\tn_het\tn_hom_alt\tgenotype_counts\tp_u_deficit\tp_u_excess");
  ASSERT_TRUE(r.columns) << r.reason;
  ResultsPage page{*r.kind, PageData{}, {}, {}};
  const std::string row = vcf_row("0", "0", "0.5") + "\tNA\tNA\tNA\t0/0:9,0/2:20,2/2:11";
  ASSERT_EQ(take_page_row(page, *r.columns, row + "\t0.25\t0.875"), "");
  EXPECT_EQ(page.waiting[0].genotypes, (std::array<int32_t, 3>{9, 20, 11}));
  EXPECT_EQ(page.waiting[0].p_u_deficit, 0.25);
  EXPECT_EQ(page.waiting[0].p_u_excess, 0.875);
  EXPECT_NE(take_page_row(page, *r.columns, row + ",2/2:1\t0.25\t0.875").find("genotype_counts"),
            std::string::npos);
  EXPECT_NE(take_page_row(page, *r.columns, row + "\t0.25\tx").find("p_u_excess"),
            std::string::npos);
  EXPECT_EQ(page.waiting.size(), 1u);
}

TEST(MergedPage, RowsThePageCannotReadAreRefusedWithTheirReason) {
  Reading r(kVcfHeader);
  ASSERT_TRUE(r.columns) << r.reason;
  ResultsPage page{*r.kind, PageData{}, {}, {}};
  EXPECT_NE(take_page_row(page, *r.columns, vcf_row("x", "0", "0.5")).find("f_is"),
            std::string::npos);
  EXPECT_NE(take_page_row(page, *r.columns, vcf_row("0", "0.1.", "0.5")).find("'0.1.'"),
            std::string::npos);
  EXPECT_NE(take_page_row(page, *r.columns, "s.vcf\t1").find("cells"), std::string::npos);
  EXPECT_TRUE(page.waiting.empty());
  // A count file's rows hold no genotype table; a table without d, no d.
  Reading count("file\tk\tn\tx2\tdf\tx2_crit\tp_x2\th_obs\th_exp\the\tf_is\td\tknd2\tseed");
  EXPECT_FALSE(count.columns);
  EXPECT_NE(count.reason.find("count files"), std::string::npos);
  std::string without_d = kVcfHeader;
  without_d.replace(without_d.find("\td\t"), 3, "\te\t");
  Reading no_d(without_d);
  EXPECT_FALSE(no_d.columns);
  EXPECT_EQ(no_d.reason, "no column 'd', which the page needs");
}

}  // namespace
