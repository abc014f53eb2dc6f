#include "figures/row_figures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <utility>

#include "stats/chi_square.h"
#include "stats/stats_test_util.h"

namespace {

// 3 AA, 4 AB, 5 BB: n = 12, 10 and 14 of 24 copies, 4 heterozygotes.
UnitResult analysed_sample() {
  UnitResult r;
  ReadTable t = make_read_table({{"AA", 3}, {"AB", 4}, {"BB", 5}});
  EXPECT_EQ(analyse_locus(std::move(t.table), t.k, t.two_n, r.locus), AnalysisStatus::kOk);
  r.p_x2 = chi_square_upper_tail(r.locus.x2_obs, r.locus.df);
  return r;
}

TEST(UnitStatistics, OneEntryPerStatisticEachColumnOnce) {
  std::set<std::string> names;
  size_t i = 0;
  for (const StatisticEntry& entry : statistic_entries()) {
    EXPECT_EQ(static_cast<size_t>(entry.id), i++);
    EXPECT_TRUE(names.insert(entry.column).second) << entry.column;
    EXPECT_EQ(statistic_column(entry.id), std::string(entry.column));
  }
  EXPECT_EQ(i, kStatisticCount);
  // The combined tests name exact tests' columns of their own.
  for (const CombinedTest& c : kCombinedTests) EXPECT_TRUE(names.insert(c.suffix).second);
}

TEST(RowFigures, AnAnalysedUnitsFiguresFromItsCounts) {
  const UnitResult r = analysed_sample();
  const RowFigures f = row_figures(&r, 99, 99, LeadTest::kChiSquare);
  EXPECT_TRUE(f.tested);
  EXPECT_EQ(f.k, 2);  // the analysis's, not the source's
  EXPECT_EQ(f.n, 12);
  // h_obs = 4/12; h_exp = 1 - (100 + 196)/576 = 280/576; with S = 296,
  // T = 24, h = 4: he = (576 - 296 - 8)/(24 * 22) = 272/528,
  // f_is = (576 - 296 - 8 * 23)/272 = 96/272.
  EXPECT_DOUBLE_EQ(f.stat[Statistic::kHObs], 4.0 / 12);
  EXPECT_EQ(f.stat[Statistic::kHExp], 280.0 / 576);
  EXPECT_EQ(f.stat[Statistic::kHe], 272.0 / 528);
  EXPECT_EQ(f.stat[Statistic::kFIs], 96.0 / 272);
  EXPECT_EQ(f.stat[Statistic::kX2], r.locus.x2_obs);
  EXPECT_EQ(f.stat[Statistic::kDf], 1);
  EXPECT_EQ(f.stat[Statistic::kD], r.locus.d_obs);
  EXPECT_EQ(f.stat[Statistic::kPX2], r.p_x2);
  EXPECT_EQ(f.lead.p, r.p_x2);
  EXPECT_EQ(f.lead.test, LeadTest::kChiSquare);
  for (double p : f.combined) EXPECT_TRUE(std::isnan(p));  // no exact tests ran
}

TEST(RowFigures, TheLeadingPIsTheChosenTestsValidP) {
  UnitResult r = analysed_sample();
  r.mc.emplace();
  r.mc->runs_made = 99;
  r.mc->hits_hw = 0;
  EXPECT_EQ(leading_p(r, LeadTest::kPermutation).p, 1.0 / 100);  // never 0
  // No replicate made: the next p in the order, here p_x2.
  r.mc->runs_made = 0;
  EXPECT_EQ(leading_p(r, LeadTest::kPermutation).p, r.p_x2);
  EXPECT_EQ(leading_p(r, LeadTest::kPermutation).test, LeadTest::kChiSquare);
  EXPECT_TRUE(std::isnan(leading_p(r, LeadTest::kExactProb).p));  // none ran
  ExactResult& x = r.exact.emplace();
  x.method = ExactMethod::kSampling;
  x.tables = 999;
  x.hits[ExactTest::kProb] = 9;
  x.hits[ExactTest::kDeficit] = 0;
  x.hits[ExactTest::kExcess] = 999;
  const RowFigures f = row_figures(&r, 0, 0, LeadTest::kExactProb);
  EXPECT_EQ(f.lead.p, 10.0 / 1000);
  EXPECT_EQ(f.lead.test, LeadTest::kExactProb);
  EXPECT_EQ(f.combined[0], 1.0 / 1000);  // deficit
  EXPECT_EQ(f.combined[1], 1.0);         // excess
  EXPECT_EQ(lead_test_for(true, true), LeadTest::kExactProb);
  EXPECT_EQ(lead_test_for(false, true), LeadTest::kPermutation);
  EXPECT_EQ(lead_test_for(false, false), LeadTest::kChiSquare);
}

// 8000 AA, `het` AB, 8000 BB: 32000 + 2 het copies.
UnitResult large_sample(int het) {
  UnitResult r;
  ReadTable t = make_read_table({{"AA", 8000}, {"AB", het}, {"BB", 8000}});
  EXPECT_EQ(analyse_locus(std::move(t.table), t.k, t.two_n, r.locus), AnalysisStatus::kOk);
  r.p_x2 = chi_square_upper_tail(r.locus.x2_obs, r.locus.df);
  r.mc.emplace();
  r.mc->runs_made = 99;
  r.mc->hits_hw = 3;
  return r;
}

TEST(RowFigures, AbovePermutationsThatAreUniformTheExactOrAsymptoticPLeads) {
  // 32768 copies: replicates are still uniform permutations.
  const UnitResult at = large_sample(384);
  ASSERT_EQ(at.locus.two_n, 32768);
  EXPECT_EQ(leading_p(at, LeadTest::kPermutation).p, 4.0 / 100);
  EXPECT_EQ(leading_p(at, LeadTest::kPermutation).test, LeadTest::kPermutation);
  // 32770: a far departure (p_x2 about 0) must not read as mc's 0.04.
  UnitResult above = large_sample(385);
  ASSERT_EQ(above.locus.two_n, 32770);
  ASSERT_LT(above.p_x2, 1e-300);
  RowFigures f = row_figures(&above, 0, 0, LeadTest::kPermutation);
  EXPECT_EQ(f.lead.p, above.p_x2);
  EXPECT_EQ(f.lead.log10, std::log10(above.p_x2));
  EXPECT_EQ(f.lead.test, LeadTest::kChiSquare);
  // The exact p where it ran.
  ExactResult& x = above.exact.emplace();
  x.method = ExactMethod::kSampling;
  x.tables = 999;
  x.hits[ExactTest::kProb] = 0;
  f = row_figures(&above, 0, 0, LeadTest::kPermutation);
  EXPECT_EQ(f.lead.p, 1.0 / 1000);
  EXPECT_EQ(f.lead.test, LeadTest::kExactProb);
}

TEST(RowFigures, AUnitWithMoreClassesThanTheExperimentTakesLeadsWithPx2) {
  // 128 alleles, each homozygous once and heterozygous with the next once:
  // the experiment takes at most 127 classes and made no replicate.
  ReadTable t;
  t.k = 128;
  t.table.allocate_zeroed(static_cast<size_t>(cell_count_for(t.k)));
  for (int32_t i = 0; i < t.k; ++i) {
    t.table[tri_index(i, i, t.k)].count += 1;
    const int32_t next = (i + 1) % t.k;
    t.table[tri_index(std::min(i, next), std::max(i, next), t.k)].count += 1;
    t.two_n += 4;
  }
  UnitResult r;
  ASSERT_EQ(analyse_locus(std::move(t.table), t.k, t.two_n, r.locus), AnalysisStatus::kOk);
  ASSERT_EQ(r.locus.k, 128);
  r.p_x2 = chi_square_upper_tail(r.locus.x2_obs, r.locus.df);
  ASSERT_FALSE(std::isnan(r.p_x2));
  const RowFigures f = row_figures(&r, 0, 0, LeadTest::kPermutation);
  EXPECT_EQ(f.lead.p, r.p_x2);
  EXPECT_EQ(f.lead.test, LeadTest::kChiSquare);
}

TEST(RowFigures, AnUntestedUnitKeepsItsSourcesCountsAndNothingElse) {
  const RowFigures f = row_figures(nullptr, 1, 7, LeadTest::kPermutation);
  EXPECT_FALSE(f.tested);
  EXPECT_EQ(f.k, 1);
  EXPECT_EQ(f.n, 7);
  EXPECT_TRUE(std::isnan(f.lead.p));
  EXPECT_EQ(f.lead.test, LeadTest::kPermutation);
  for (double v : f.stat.value) EXPECT_TRUE(std::isnan(v));
}

}  // namespace

namespace {

TEST(HweFilter, BelowTheThresholdInTheDoubleRangeAndInLog10BeyondIt) {
  const HweThreshold at6{1e-6, -6, false};
  EXPECT_EQ(hwe_verdict(at6, 9.999999e-7, std::log10(9.999999e-7)), HweVerdict::kFail);
  // Equal is not below, as peers compare the doubles themselves.
  EXPECT_EQ(hwe_verdict(at6, 1e-6, -6.0000000000000001), HweVerdict::kPass);
  EXPECT_EQ(hwe_verdict(at6, 0.5, std::log10(0.5)), HweVerdict::kPass);
  EXPECT_EQ(hwe_verdict(at6, 0, -578.456), HweVerdict::kFail);
  EXPECT_EQ(hwe_verdict(at6, 0, -INFINITY), HweVerdict::kFail);  // an underflowed p_x2
  EXPECT_EQ(hwe_verdict(at6, std::nan(""), std::nan("")), HweVerdict::kNone);
  // Below the double range only the log10 tells the tables apart.
  const HweThreshold at600{0, -600, false};
  EXPECT_EQ(hwe_verdict(at600, 0, -578.456), HweVerdict::kPass);
  EXPECT_EQ(hwe_verdict(at600, 0, -600.5), HweVerdict::kFail);
  EXPECT_EQ(hwe_verdict(at600, 1e-300, -300), HweVerdict::kPass);
  // A subnormal p or threshold: by log10, which keeps the digits they lost.
  const HweThreshold at310{0, -310, false};
  EXPECT_EQ(hwe_verdict(at310, 2e-310, std::log10(2e-310)), HweVerdict::kPass);
  EXPECT_EQ(hwe_verdict(at310, 4e-311, std::log10(4e-311)), HweVerdict::kFail);
  const HweThreshold at6_subnormal{1e-6, -6, false};
  EXPECT_EQ(hwe_verdict(at6_subnormal, 4e-311, std::log10(4e-311)), HweVerdict::kFail);
}

TEST(HweFilter, TheMidPDecidesWhereTheLeadingTestHasOne) {
  LeadP lead;
  lead.p = 2e-6;
  lead.log10 = std::log10(2e-6);
  const HweThreshold plain{1e-6, -6, false};
  const HweThreshold midp{1e-6, -6, true};
  EXPECT_EQ(hwe_verdict_of(midp, lead), HweVerdict::kPass);  // no mid-p: the p decides
  lead.mid_p = 5e-7;
  lead.mid_log10 = std::log10(5e-7);
  EXPECT_EQ(hwe_verdict_of(midp, lead), HweVerdict::kFail);
  EXPECT_EQ(hwe_verdict_of(plain, lead), HweVerdict::kPass);
}

TEST(RowFigures, TheLeadsLog10IsTheExactTestsOwnBelowTheDoubleRange) {
  UnitResult r = analysed_sample();
  EXPECT_EQ(leading_p(r, LeadTest::kChiSquare).log10, std::log10(r.p_x2));
  EXPECT_TRUE(std::isnan(leading_p(r, LeadTest::kExactProb).log10));  // none ran
  ExactResult& x = r.exact.emplace();
  x.method = ExactMethod::kEnumeration;
  x.test[ExactTest::kProb].p = 0;
  x.log10_prob = -578.456;
  x.prob_mid = 0;
  x.log10_prob_mid = -578.5;
  const LeadP lead = leading_p(r, LeadTest::kExactProb);
  EXPECT_EQ(lead.log10, -578.456);
  EXPECT_EQ(lead.mid_log10, -578.5);
  x.method = ExactMethod::kSampling;
  x.tables = 999;
  x.hits[ExactTest::kProb] = 9;
  const LeadP sampled = leading_p(r, LeadTest::kExactProb);
  EXPECT_EQ(sampled.log10, std::log10(10.0 / 1000));  // of the valid p
  EXPECT_TRUE(std::isnan(sampled.mid_p));
}

}  // namespace
