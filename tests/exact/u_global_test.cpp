// The global U tests: the convolution of the units' laws against an
// independent walk over every combination of the units' tables with exact
// weights and exact sums of U, the joint draws against the convolution,
// and the choice between the two.
#include "exact/u_global.h"

#include <gtest/gtest.h>

#include <boost/math/special_functions/beta.hpp>
#include <cmath>
#include <vector>

#include "exact/sampler.h"
#include "exact_reference.h"

namespace {

using exact_reference::i128;
using exact_reference::u128;

// One unit's tables: the integer q = sum_i t_ii prod_{j != i} n_j and the
// exact weight; U = 2N q / P - N with P = prod n_i.
struct ReferenceUnit {
  int64_t n = 0;
  i128 product = 1;
  i128 q_obs = 0;
  std::vector<std::pair<i128, u128>> tables;
  u128 total = 0;
};

ReferenceUnit reference_unit(const ExactSample& s) {
  ReferenceUnit r;
  const std::vector<int64_t> n = exact_reference::allele_copies(s.k, s.counts);
  r.product = exact_reference::copies_product(n);
  r.n = exact_reference::individuals(n);
  r.q_obs = exact_reference::score_q(s.k, n, s.counts);
  exact_reference::for_each_table(s.k, n, [&](const std::vector<int64_t>& t, u128 w) {
    r.tables.emplace_back(exact_reference::score_q(s.k, n, t), w);
    r.total += w;
  });
  return r;
}

// P(S >= S_obs) and P(S <= S_obs) over every combination of tables: S - S_obs
// = sum_u 2 N_u (q_u - q_obs_u) / P_u, compared exactly as a multiple of
// the product of the P_u.
std::pair<double, double> reference_global(const std::vector<ExactSample>& samples) {
  std::vector<ReferenceUnit> units;
  i128 common = 1;
  for (const ExactSample& s : samples) {
    units.push_back(reference_unit(s));
    common *= units.back().product;
  }
  long double ge = 0, le = 0;
  std::vector<size_t> at(units.size(), 0);
  for (;;) {
    i128 d = 0;
    long double p = 1;
    for (size_t u = 0; u < units.size(); ++u) {
      const ReferenceUnit& r = units[u];
      d += 2 * r.n * (r.tables[at[u]].first - r.q_obs) * (common / r.product);
      p *= static_cast<long double>(r.tables[at[u]].second) / static_cast<long double>(r.total);
    }
    if (d >= 0) ge += p;
    if (d <= 0) le += p;
    size_t u = 0;
    while (u < units.size() && ++at[u] == units[u].tables.size()) at[u++] = 0;
    if (u == units.size()) break;
  }
  return {static_cast<double>(ge), static_cast<double>(le)};
}

// The units with their laws from the enumeration.
struct Scope {
  std::vector<ExactSample> samples;
  std::vector<ExactResult> results;
  std::vector<UScopeUnit> units;

  explicit Scope(std::vector<ExactSample> s, bool with_laws = true) : samples(std::move(s)) {
    ExactOptions o;
    o.keep_u_law = true;
    results.resize(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
      EXPECT_EQ(run_exact_tests(samples[i], o, results[i]), ExactStatus::kOk);
      units.push_back({&samples[i], with_laws ? &results[i].u_law : nullptr});
    }
  }
};

const std::vector<std::vector<ExactSample>>& small_scopes() {
  static const std::vector<std::vector<ExactSample>> scopes = {
      // Two alleles and three, a deficit in each.
      {ExactSample{2, {4, 1, 3}}, ExactSample{3, {2, 1, 0, 1, 1, 2}}},
      // The same unit three times: swapped tables tie with the sample's sum.
      {ExactSample{3, {1, 2, 1, 0, 2, 1}}, ExactSample{3, {1, 2, 1, 0, 2, 1}},
       ExactSample{3, {1, 2, 1, 0, 2, 1}}},
      // A heterozygote excess over four units, one with a single allele.
      {ExactSample{2, {0, 5, 1}}, ExactSample{3, {0, 2, 1, 0, 2, 0}}, ExactSample{1, {4}},
       ExactSample{4, {0, 1, 1, 1, 0, 1, 1, 0, 1, 1}}},
  };
  return scopes;
}

TEST(UGlobal, ConvolutionMatchesEveryCombinationOfTables) {
  for (const std::vector<ExactSample>& samples : small_scopes()) {
    SCOPED_TRACE(samples.size());
    const Scope scope(samples);
    UGlobalResult r;
    ASSERT_TRUE(convolve_u_laws(scope.units, kDefaultUGlobalPoints, r));
    const auto [ge, le] = reference_global(samples);
    EXPECT_EQ(r.method, ExactMethod::kEnumeration);
    EXPECT_EQ(r.units, samples.size());
    EXPECT_NEAR(r.deficit.p, ge, 1e-12);
    EXPECT_NEAR(r.excess.p, le, 1e-12);
    EXPECT_EQ(r.deficit.low, r.deficit.p);
    EXPECT_EQ(u_global_valid_p(r, true), r.deficit.p);
    double s = 0, mean = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
      s += scope.results[i].u_score;
      for (size_t j = 0; j < scope.results[i].u_law.u.size(); ++j)
        mean += scope.results[i].u_law.u[j] * scope.results[i].u_law.p[j];
    }
    EXPECT_NEAR(r.s_obs, s, 1e-12);
    EXPECT_NEAR(r.s_mean, mean, 1e-12);
  }
}

// One unit: the global tests are the unit's own score tests.
TEST(UGlobal, OneUnitIsItsOwnScoreTest) {
  const Scope scope({ExactSample{4, {0, 3, 5, 3, 1, 18, 7, 1, 5, 2}}});
  UGlobalResult r;
  ASSERT_TRUE(convolve_u_laws(scope.units, kDefaultUGlobalPoints, r));
  EXPECT_NEAR(r.deficit.p, scope.results[0].test[ExactTest::kUDeficit].p, 1e-12);
  EXPECT_NEAR(r.excess.p, scope.results[0].test[ExactTest::kUExcess].p, 1e-12);
  EXPECT_DOUBLE_EQ(r.s_obs, -561.0 / 19.0);
}

// Outside the 99.9% Clopper-Pearson interval of b hits in T draws.
bool outside_999(double p, uint64_t b, uint64_t t) {
  const double x = static_cast<double>(b), n = static_cast<double>(t);
  const double low = b > 0 ? boost::math::ibeta_inv(x, n - x + 1, 0.0005) : 0.0;
  const double high = b < t ? boost::math::ibeta_inv(x + 1, n - x, 0.9995) : 1.0;
  return p < low - 1e-12 || p > high + 1e-12;
}

TEST(UGlobal, JointDrawsAgreeWithTheConvolution) {
  for (const std::vector<ExactSample>& samples : small_scopes()) {
    SCOPED_TRACE(samples.size());
    const Scope scope(samples);
    UGlobalResult exact, drawn;
    ASSERT_TRUE(convolve_u_laws(scope.units, kDefaultUGlobalPoints, exact));
    UGlobalOptions o;
    o.draws = 20000;
    o.seed = 11;
    o.scope_key = u_scope_key("locus 7");
    ASSERT_EQ(draw_u_global(scope.units, o, drawn), ExactStatus::kOk);
    EXPECT_EQ(drawn.method, ExactMethod::kSampling);
    EXPECT_EQ(drawn.draws, 20000u);
    EXPECT_FALSE(outside_999(exact.deficit.p, drawn.hits_deficit, drawn.draws)) << drawn.deficit.p;
    EXPECT_FALSE(outside_999(exact.excess.p, drawn.hits_excess, drawn.draws)) << drawn.excess.p;
    EXPECT_LE(drawn.deficit.low, drawn.deficit.p);
    EXPECT_GE(drawn.deficit.high, drawn.deficit.p);
    EXPECT_DOUBLE_EQ(drawn.s_obs, exact.s_obs);
    EXPECT_DOUBLE_EQ(u_global_valid_p(drawn, false),
                     (static_cast<double>(drawn.hits_excess) + 1) / 20001.0);
  }
}

// The same seed and scope name give the same draws on any number of
// threads; another name, other draws.
TEST(UGlobal, DrawsDependOnTheSeedAndTheScopeOnly) {
  const Scope scope({ExactSample{3, {5, 9, 4, 6, 8, 3}}, ExactSample{2, {30, 20, 10}},
                     ExactSample{4, {2, 3, 1, 4, 2, 5, 1, 3, 2, 2}}});
  UGlobalOptions o;
  o.draws = 3 * kSampleChunk + 5;
  o.seed = 99;
  o.scope_key = u_scope_key("pop A");
  UGlobalResult one, three, other;
  o.threads = 1;
  ASSERT_EQ(draw_u_global(scope.units, o, one), ExactStatus::kOk);
  o.threads = 3;
  ASSERT_EQ(draw_u_global(scope.units, o, three), ExactStatus::kOk);
  EXPECT_EQ(one.hits_deficit, three.hits_deficit);
  EXPECT_EQ(one.hits_excess, three.hits_excess);
  o.scope_key = u_scope_key("pop B");
  ASSERT_EQ(draw_u_global(scope.units, o, other), ExactStatus::kOk);
  EXPECT_NE(std::make_pair(one.hits_deficit, one.hits_excess),
            std::make_pair(other.hits_deficit, other.hits_excess));
  EXPECT_NE(u_scope_key("pop A"), u_scope_key("pop B"));
  EXPECT_EQ(u_scope_key("pop A"), u_scope_key(std::string("pop ") + "A"));
}

// Exact where every unit has its law and the convolution stays small, else
// drawn; unusable units and draw counts are statuses.
TEST(UGlobal, ChoosesDrawsWhereTheConvolutionCannotBeExact) {
  const Scope with(small_scopes()[2]);
  const Scope without(small_scopes()[2], false);
  UGlobalOptions o;
  o.draws = 500;
  UGlobalResult r;
  ASSERT_EQ(run_u_global_test(with.units, o, r), ExactStatus::kOk);
  EXPECT_EQ(r.method, ExactMethod::kEnumeration);
  ASSERT_EQ(run_u_global_test(without.units, o, r), ExactStatus::kOk);
  EXPECT_EQ(r.method, ExactMethod::kSampling);
  EXPECT_EQ(r.draws, 500u);
  o.max_points = 2;
  ASSERT_EQ(run_u_global_test(with.units, o, r), ExactStatus::kOk);
  EXPECT_EQ(r.method, ExactMethod::kSampling);

  UGlobalResult untouched;
  untouched.units = 77;
  EXPECT_EQ(run_u_global_test({}, o, untouched), ExactStatus::kNoAlleles);
  const ExactSample empty_class{2, {3, 0, 0}};
  const UScopeUnit bad[] = {{&empty_class, nullptr}};
  EXPECT_FALSE(convolve_u_laws(bad, kDefaultUGlobalPoints, untouched));
  EXPECT_EQ(run_u_global_test(bad, o, untouched), ExactStatus::kEmptyClass);
  o.draws = 0;
  EXPECT_EQ(run_u_global_test(without.units, o, untouched), ExactStatus::kNoTables);
  EXPECT_EQ(untouched.units, 77u);
}

}  // namespace
