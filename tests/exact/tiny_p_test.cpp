// Enumerated p-values far below the double range, against exact big-number
// arithmetic (big_number_p.py beside this file, in Python's integers): the
// figures as doubles to their last digit, subnormal ones included, and their
// log10 where the double holds 0.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "exact/exact_tests.h"

namespace {

struct BigNumberP {
  double p = 0;
  double log10_p = 0;
};

// The script's figures by test name (and p_prob_mid); empty when python3
// cannot run it.
std::map<std::string, BigNumberP> big_number_p(int k, const std::vector<int64_t>& counts) {
  std::string command =
      "python3 " HWMC_SOURCE_DIR "/tests/exact/big_number_p.py " + std::to_string(k);
  for (int64_t c : counts) command.append(" ").append(std::to_string(c));
  std::map<std::string, BigNumberP> out;
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return out;
  std::string text;
  char buffer[4096];
  for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, got);
  if (pclose(pipe) != 0) return {};
  std::istringstream lines(text);
  std::string name, p, log10_p;
  while (lines >> name >> p >> log10_p)
    out[name] = {std::strtod(p.c_str(), nullptr), std::strtod(log10_p.c_str(), nullptr)};
  return out;
}

// Equal to the last digit the double holds: relative 1e-12 in the normal
// range (the log-factorials' own accuracy), one unit of the last place
// among the subnormals.
void expect_same_double(double got, double want, const char* what) {
  const double slack = std::max(1e-12 * want, std::numeric_limits<double>::denorm_min());
  EXPECT_NEAR(got, want, slack) << what;
}

const char* const kNames[kExactTestCount] = {"p_prob",   "p_x2e",       "p_llr",     "p_deficit",
                                             "p_excess", "p_u_deficit", "p_u_excess"};

void expect_matches_big_numbers(int k, const std::vector<int64_t>& counts) {
  SCOPED_TRACE(::testing::PrintToString(counts));
  const std::map<std::string, BigNumberP> want = big_number_p(k, counts);
  if (want.empty()) GTEST_SKIP() << "python3 cannot run big_number_p.py";
  ASSERT_EQ(want.size(), kExactTestCount + 1);
  ExactResult r;
  ASSERT_EQ(run_exact_tests(ExactSample{k, counts}, ExactOptions{}, r), ExactStatus::kOk);
  ASSERT_EQ(r.method, ExactMethod::kEnumeration);
  for (ExactTest test : kExactTests) {
    const char* name = kNames[static_cast<size_t>(test)];
    expect_same_double(r.test[test].p, want.at(name).p, name);
  }
  expect_same_double(r.prob_mid, want.at("p_prob_mid").p, "p_prob_mid");
  const double log10_p = want.at("p_prob").log10_p;
  EXPECT_NEAR(r.log10_prob, log10_p, 1e-11 * std::fabs(log10_p));
  EXPECT_EQ(exact_leading_log10_p(r), r.log10_prob);
  const double log10_mid = want.at("p_prob_mid").log10_p;
  EXPECT_NEAR(r.log10_prob_mid, log10_mid, 1e-11 * std::fabs(log10_mid));
}

// log10 p = -578.456: every peer prints 0.
TEST(ExactTinyP, ThousandsOfHomozygotesBesideTenHeterozygotes) {
  expect_matches_big_numbers(2, {1000, 10, 1000});
}

// No heterozygote among 200 000 individuals: log10 p = -60205.85, far
// below the extended range too, and a far-tail walk.
TEST(ExactTinyP, TwoHundredThousandHomozygotes) {
  expect_matches_big_numbers(2, {100000, 0, 100000});
}

// Three alleles (several runs, the sample's weight below the double range
// relative to the largest runs): p_prob 8.6e-317 among the subnormals, and
// a two-allele p just above the smallest normal double.
TEST(ExactTinyP, SubnormalAndSmallestNormalFigures) {
  expect_matches_big_numbers(3, {520, 0, 0, 520, 1, 1});
  expect_matches_big_numbers(2, {505, 1, 505});
}

// 200 000 individuals, 60 standard deviations of H below the mode: every
// tail p lies near 1e-786 (log10 from big_number_p.py, which takes minutes
// here), so each is 0, not a few subnormal units left over from weights
// summed below the double's range.
TEST(ExactTinyP, TailsFarBelowTheDoubleRangeAreZero) {
  ExactResult r;
  ASSERT_EQ(run_exact_tests(ExactSample{2, {56708, 86584, 56708}}, ExactOptions{}, r),
            ExactStatus::kOk);
  for (ExactTest test : {ExactTest::kProb, ExactTest::kX2e, ExactTest::kLlr, ExactTest::kDeficit,
                         ExactTest::kUDeficit}) {
    EXPECT_EQ(r.test[test].p, 0.0) << static_cast<int>(test);
  }
  EXPECT_EQ(r.prob_mid, 0.0);
  EXPECT_EQ(r.test[ExactTest::kExcess].p, 1.0);
  EXPECT_NEAR(r.log10_prob, -785.9139375702944, 1e-11 * 786);
  EXPECT_NEAR(r.log10_prob_mid, -785.9720107261383, 1e-11 * 786);
}

// A sampled p has the log10 of its valid p; an enumerated one within the
// range the log10 of the p itself.
TEST(ExactTinyP, LogOfTheLeadingPFollowsTheValidP) {
  ExactResult r;
  ExactOptions o;
  o.max_tables = 0;
  o.tables = 999;
  o.seed = 3;
  ASSERT_EQ(run_exact_tests(ExactSample{2, {40, 0, 40}}, o, r), ExactStatus::kOk);
  EXPECT_EQ(r.hits[ExactTest::kProb], 0u);
  EXPECT_DOUBLE_EQ(exact_leading_log10_p(r), -3.0);
  EXPECT_TRUE(std::isnan(r.log10_prob));

  ASSERT_EQ(run_exact_tests(ExactSample{2, {14, 2, 14}}, ExactOptions{}, r), ExactStatus::kOk);
  EXPECT_NEAR(exact_leading_log10_p(r), std::log10(r.test[ExactTest::kProb].p), 1e-12);
  EXPECT_NEAR(r.log10_prob_mid, std::log10(r.prob_mid), 1e-12);
}

}  // namespace
