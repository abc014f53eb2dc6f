// The U score tests: for two alleles the heterozygote tests themselves, a
// published four-allele vector, U compared in double agreeing with U in
// integers, and the law of U kept from the enumeration against the exact
// weights.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "exact/enumerate.h"
#include "exact/exact_tests.h"
#include "exact/sampler.h"
#include "exact/table_stats.h"
#include "exact_reference.h"
#include "full_log_factorials.h"

namespace {

ExactResult run(const ExactSample& sample, const ExactOptions& o = ExactOptions{}) {
  ExactResult r;
  EXPECT_EQ(run_exact_tests(sample, o, r), ExactStatus::kOk);
  return r;
}

// Two alleles: U rises as H falls, so the same tables make the same sums,
// bit for bit, enumerated or drawn.
TEST(ExactUScore, TwoAllelesGiveTheHeterozygoteTests) {
  std::mt19937 gen(31);
  for (int round = 0; round < 60; ++round) {
    const int64_t n = 5 + static_cast<int64_t>(gen() % (round < 40 ? 60 : 5000));
    const double p = 0.05 + 0.9 * std::uniform_real_distribution<double>()(gen);
    const double f = std::uniform_real_distribution<double>(-0.3, 0.6)(gen);
    std::vector<int64_t> c(3, 0);
    for (int64_t m = 0; m < n; ++m) {
      const bool a = std::uniform_real_distribution<double>()(gen) < p;
      if (std::uniform_real_distribution<double>()(gen) < std::max(f, 0.0)) {
        ++c[a ? 0 : 2];
      } else {
        const bool b = std::uniform_real_distribution<double>()(gen) < p;
        ++c[a && b ? 0 : (a || b ? 1 : 2)];
      }
    }
    if (2 * c[0] + c[1] == 0 || 2 * c[2] + c[1] == 0) continue;
    SCOPED_TRACE(::testing::PrintToString(c));
    const ExactResult e = run(ExactSample{2, c});
    ASSERT_EQ(e.method, ExactMethod::kEnumeration);
    EXPECT_EQ(e.test[ExactTest::kUDeficit].p, e.test[ExactTest::kDeficit].p);
    EXPECT_EQ(e.test[ExactTest::kUExcess].p, e.test[ExactTest::kExcess].p);
    ExactOptions o;
    o.max_tables = 0;
    o.tables = 3000;
    o.seed = static_cast<uint64_t>(round);
    const ExactResult d = run(ExactSample{2, c}, o);
    EXPECT_EQ(d.hits[ExactTest::kUDeficit], d.hits[ExactTest::kDeficit]);
    EXPECT_EQ(d.hits[ExactTest::kUExcess], d.hits[ExactTest::kExcess]);
  }
}

// N = 45, four alleles (aa 0, ab 3, bb 1, ac 5, bc 18, cc 1, ad 3, bd 7,
// cd 5, dd 2): 162 365 tables, p from an exact-fraction enumeration to six
// digits. U = 90 (1/30 + 1/30 + 2/19) - 45 = -561/19.
TEST(ExactUScore, FourAlleleVector) {
  const ExactResult r = run(ExactSample{4, {0, 3, 5, 3, 1, 18, 7, 1, 5, 2}});
  ASSERT_EQ(r.method, ExactMethod::kEnumeration);
  EXPECT_EQ(r.tables, 162365u);
  EXPECT_NEAR(r.test[ExactTest::kUDeficit].p, 0.996727, 5e-7);
  EXPECT_NEAR(r.test[ExactTest::kUExcess].p, 0.00334289, 5e-9);
  EXPECT_NEAR(r.test[ExactTest::kDeficit].p, 0.999613, 5e-7);
  EXPECT_NEAR(r.test[ExactTest::kExcess].p, 0.00175468, 5e-9);
  EXPECT_NEAR(r.test[ExactTest::kProb].p, 0.0174423, 5e-8);
  EXPECT_DOUBLE_EQ(r.u_score, -561.0 / 19.0);
}

// The same samples with U compared in double (as where the integers would
// not fit): the same p within rounding, enumerated, and the same verdict
// on every drawn table.
TEST(ExactUScore, ComparedInDoubleAsInIntegers) {
  for (const ExactSample& sample :
       {ExactSample{3, {3, 2, 2, 3, 2, 3}}, ExactSample{4, {2, 1, 1, 1, 2, 1, 1, 2, 1, 2}},
        ExactSample{4, {0, 3, 5, 3, 1, 18, 7, 1, 5, 2}},
        ExactSample{3, {30, 66, 120, 50, 184, 150}}}) {
    SCOPED_TRACE(::testing::PrintToString(sample.counts));
    const TableStats exact = prepare_table_stats(sample, full_log_factorials());
    ASSERT_TRUE(exact.u.exact);
    TableStats in_double = exact;
    std::vector<int64_t> reordered(exact.cell.size());
    for (size_t c = 0; c < reordered.size(); ++c) reordered[c] = exact.cell[c].base;
    in_double.u = prepare_u_scale(exact.allele, reordered.data(), false);
    ASSERT_FALSE(in_double.u.exact);
    EXPECT_NEAR(in_double.u.u_sample, exact.u.u_sample, 1e-12 * std::fabs(exact.u.u_sample));
    if (count_tables(exact, 2000000) <= 2000000) {
      const ExactPValues a = enumerate_tables(exact);
      const ExactPValues b = enumerate_tables(in_double);
      EXPECT_NEAR(a.p[ExactTest::kUDeficit], b.p[ExactTest::kUDeficit], 1e-12);
      EXPECT_NEAR(a.p[ExactTest::kUExcess], b.p[ExactTest::kUExcess], 1e-12);
    }
    std::vector<int64_t> t(exact.cell.size()), work(exact.k);
    Rng64 r = rng64_stream(9, 1);
    for (int i = 0; i < 2000; ++i) {
      draw_table(exact, r, t.data(), work.data());
      ASSERT_EQ(u_compare(exact.u, t.data()), u_compare(in_double.u, t.data()));
      ASSERT_NEAR(u_of_table(exact.u, t.data()), u_of_table(in_double.u, t.data()), 1e-9);
    }
  }
}

// The law kept from the enumeration: each distinct U with its exact
// probability, mean -N(k - 1)/(2N - 1), and the tails at the sample's U
// are the two score tests.
TEST(ExactUScore, LawOfUFromTheEnumeration) {
  for (const ExactSample& sample :
       {ExactSample{2, {5, 10, 15}}, ExactSample{3, {3, 2, 2, 3, 2, 3}},
        ExactSample{4, {2, 1, 1, 1, 2, 1, 1, 2, 1, 2}}, ExactSample{3, {1, 4, 0, 2, 3, 5}}}) {
    SCOPED_TRACE(::testing::PrintToString(sample.counts));
    ExactOptions o;
    o.keep_u_law = true;
    const ExactResult r = run(sample, o);
    const exact_reference::ReferenceLaw want =
        exact_reference::reference_u_law(sample.k, sample.counts);
    ASSERT_EQ(r.u_law.u.size(), want.u.size());
    double total = 0, mean = 0, upper = 0, lower = 0;
    for (size_t i = 0; i < want.u.size(); ++i) {
      EXPECT_NEAR(r.u_law.u[i], want.u[i], 1e-12 * std::max(1.0, std::fabs(want.u[i])));
      EXPECT_NEAR(r.u_law.p[i], want.p[i], 1e-13);
      total += r.u_law.p[i];
      mean += r.u_law.u[i] * r.u_law.p[i];
      if (r.u_law.u[i] >= r.u_score) upper += r.u_law.p[i];
      if (r.u_law.u[i] <= r.u_score) lower += r.u_law.p[i];
    }
    const double big_n = static_cast<double>(
        exact_reference::individuals(exact_reference::allele_copies(sample.k, sample.counts)));
    EXPECT_NEAR(total, 1.0, 1e-13);
    EXPECT_NEAR(mean, -big_n * (sample.k - 1) / (2 * big_n - 1), 1e-12 * big_n);
    EXPECT_NEAR(upper, r.test[ExactTest::kUDeficit].p, 1e-13);
    EXPECT_NEAR(lower, r.test[ExactTest::kUExcess].p, 1e-13);
    // Without the law, nothing is kept.
    EXPECT_TRUE(run(sample).u_law.u.empty());
  }
  // One allele: U is 0 for certain.
  ExactOptions o;
  o.keep_u_law = true;
  const ExactResult one = run(ExactSample{1, {9}}, o);
  EXPECT_EQ(one.u_law.u, std::vector<double>{0.0});
  EXPECT_EQ(one.u_law.p, std::vector<double>{1.0});
}

}  // namespace
