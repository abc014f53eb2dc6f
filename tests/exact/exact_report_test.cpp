#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "exact/exact_report.h"
#include "format/number_format.h"

namespace {

ExactResult sampled_result() {
  ExactResult r;
  r.method = ExactMethod::kSampling;
  r.tables = 100000;
  r.seed = 4294967295u;
  r.test[ExactTest::kProb] = {0.1, 0.098, 0.102};
  r.test[ExactTest::kX2e] = {0.25, 0.2473, 0.2527};
  r.test[ExactTest::kLlr] = {1e-5, 2.5e-6, 3.3e-5};
  r.test[ExactTest::kDeficit] = {0, 0, 3.6888e-05};
  r.test[ExactTest::kExcess] = {1, 0.99996311, 1};
  r.test[ExactTest::kUDeficit] = {0.5, 0.4969, 0.5031};
  r.test[ExactTest::kUExcess] = {0.625, 0.622, 0.628};
  r.u_score = -0.1;
  return r;
}

TEST(ExactReport, ColumnsAndCellsFollowTheBatchGroup) {
  const std::vector<std::string> names = {"exact_method",    "exact_tables",
                                          "p_prob",          "p_prob_low",
                                          "p_prob_high",     "p_prob_mid",
                                          "p_x2e",           "p_x2e_low",
                                          "p_x2e_high",      "p_llr",
                                          "p_llr_low",       "p_llr_high",
                                          "p_deficit",       "p_deficit_low",
                                          "p_deficit_high",  "p_excess",
                                          "p_excess_low",    "p_excess_high",
                                          "u_score",         "p_u_deficit",
                                          "p_u_deficit_low", "p_u_deficit_high",
                                          "p_u_excess",      "p_u_excess_low",
                                          "p_u_excess_high"};
  EXPECT_EQ(exact_column_names(), names);

  ExactResult sampled = sampled_result();
  sampled.prob_mid = std::nan("");
  const std::vector<std::string> cells = format_exact_cells(sampled);
  ASSERT_EQ(cells.size(), names.size());
  EXPECT_EQ(cells[0], "sampling");
  EXPECT_EQ(cells[1], "100000");
  // Shortest decimals that read back to the same double, not %.17g's
  // 0.10000000000000001 and 1.0000000000000001e-05.
  EXPECT_EQ(cells[2], "0.1");
  EXPECT_EQ(cells[3], "0.098");
  EXPECT_EQ(cells[5], "NA");  // no mid-p from sampled tables
  EXPECT_EQ(cells[6], "0.25");
  EXPECT_EQ(cells[9], "1e-05");
  EXPECT_EQ(cells[12], "0");
  EXPECT_EQ(cells[17], "1");
  EXPECT_EQ(cells[18], "-0.1");
  EXPECT_EQ(cells[19], "0.5");
  EXPECT_EQ(cells[21], "0.5031");
  EXPECT_EQ(cells[22], "0.625");
  EXPECT_EQ(cells[23], "0.622");

  ExactResult e;
  e.method = ExactMethod::kEnumeration;
  e.tables = 18446744073709551615u;
  e.test[ExactTest::kProb] = {0.5, 0.5, 0.5};
  e.prob_mid = 0.375;
  const std::vector<std::string> ec = format_exact_cells(e);
  EXPECT_EQ(ec[0], "enumeration");
  EXPECT_EQ(ec[1], "18446744073709551615");
  EXPECT_EQ(ec[3], "0.5");
  EXPECT_EQ(ec[5], "0.375");
}

// Cells written one after another reuse recent texts of the same value:
// each must still be its own value's, whether the value came a cell, a few
// cells or a row before, or is new.
TEST(ExactReport, AppendedCellsAreEachTheirOwnValue) {
  ExactResult a = sampled_result();
  a.prob_mid = 0.1;
  a.test[ExactTest::kUDeficit] = a.test[ExactTest::kDeficit];
  a.test[ExactTest::kUExcess] = {0.25, 1e-5, 0.1};
  ExactResult b = a;
  b.test[ExactTest::kProb] = {0.2, -0.0, 0.0};
  b.test[ExactTest::kDeficit] = {std::nan(""), 0.098, 0.1};
  b.test[ExactTest::kUExcess] = {0.1, 0.098, 0.2};
  for (const ExactResult* r : {&a, &b, &a}) {
    const std::vector<std::string> cells = format_exact_cells(*r);
    std::string row;
    for (size_t c = 0; c < cells.size(); ++c) {
      row += '|';
      append_exact_cell(row, *r, c);
    }
    std::string expected;
    for (const std::string& cell : cells) expected += '|' + cell;
    EXPECT_EQ(row, expected);
    // Each probability cell against its value formatted afresh.
    const ExactP& prob = r->test[ExactTest::kProb];
    EXPECT_EQ(cells[2], format_shortest_or_na(prob.p));
    EXPECT_EQ(cells[3], format_shortest_or_na(prob.low));
    EXPECT_EQ(cells[4], format_shortest_or_na(prob.high));
    EXPECT_EQ(cells[12], format_shortest_or_na(r->test[ExactTest::kDeficit].p));
    EXPECT_EQ(cells[19], format_shortest_or_na(r->test[ExactTest::kUDeficit].p));
    EXPECT_EQ(cells[22], format_shortest_or_na(r->test[ExactTest::kUExcess].p));
    EXPECT_EQ(cells[23], format_shortest_or_na(r->test[ExactTest::kUExcess].low));
  }
  // A thread's first probability, here 0, has nothing earlier to reuse.
  ExactResult zero = a;
  zero.test[ExactTest::kProb] = {0.0, 0.0, 0.0};
  std::string first;
  std::thread([&] { append_exact_cell(first, zero, 2); }).join();
  EXPECT_EQ(first, "0");
  const std::vector<std::string> cells = format_exact_cells(b);
  EXPECT_EQ(cells[3], "-0");
  EXPECT_EQ(cells[4], "0");
  EXPECT_EQ(cells[12], "NA");
  EXPECT_EQ(cells[22], "0.1");
}

TEST(ExactReport, SectionShowsMethodTablesAndEachTest) {
  EXPECT_EQ(build_exact_report_text(sampled_result(), sampled_result().seed),
            "\n\n\tExact conditional tests:\n"
            "\t100000 tables drawn (seed 4294967295):\n"
            "\t\tprobability test         P = 0.1  (95%: 0.098 - 0.102)\n"
            "\t\tchi-square (X2)          P = 0.25  (95%: 0.2473 - 0.2527)\n"
            "\t\tlikelihood ratio (G2)    P = 1e-05  (95%: 2.5e-06 - 3.3e-05)\n"
            "\t\theterozygote deficit     P = 0  (95%: 0 - 3.6888e-05)\n"
            "\t\theterozygote excess      P = 1  (95%: 0.999963 - 1)\n"
            "\t\tU score test, deficit    P = 0.5  (95%: 0.4969 - 0.5031)\n"
            "\t\tU score test, excess     P = 0.625  (95%: 0.622 - 0.628)\n"
            "\t\tscore of the sample      U = -0.1\n");
  ExactResult e;
  e.tables = 12;
  e.test[ExactTest::kProb] = {0.123456789, 0.123456789, 0.123456789};
  const std::string text = build_exact_report_text(e, e.seed);
  EXPECT_NE(text.find("\t12 tables, complete enumeration:\n"), std::string::npos);
  EXPECT_NE(text.find("probability test         P = 0.123457\n"), std::string::npos);
  EXPECT_EQ(text.find("95%"), std::string::npos);
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

}  // namespace
