#include "montecarlo/replicate.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <ostream>
#include <vector>

#include "montecarlo/mc_sample.h"
#include "montecarlo/replicate_reference.h"
#include "montecarlo/rng.h"

namespace {

std::vector<uint32_t> draws(int n) {
  std::vector<uint32_t> out;
  for (int i = 0; i < n; ++i) out.push_back(rng_next());
  return out;
}

TEST(Generator, SequencesFromSeedsOneAndZero) {
  rng_seed(1);
  EXPECT_EQ(draws(6), (std::vector<uint32_t>{346, 130, 10982, 1090, 11656, 7117}));
  rng_seed(0);
  EXPECT_EQ(draws(5), (std::vector<uint32_t>{0, 346, 130, 10982, 1090}));
}

McSample help_screen_sample() {
  return make_sample(39, {{33, 34, 1}, {32, 32, 10}, {36, 38, 25}, {32, 35, 16}, {33, 35, 1}});
}

// The file "ab:2": k = 2, two_n = 4, expected 0.5, 1, 0.5, het_expected 1.
TEST(Replicate, ThreeReplicatesOfAbTwoFromStateOne) {
  McSample s = make_sample(2, {{0, 1, 2}});
  ASSERT_EQ(s.locus.two_n, 4);
  ASSERT_EQ(s.locus.het_expected, 1.0f);
  McWorkspace& w = s.work;
  struct Expected {
    std::vector<int32_t> targets;
    std::vector<int> alleles;
    std::vector<int32_t> sim;
    float d;
  };
  const Expected replicates[] = {{{2, 2, 2, 3}, {1, 0, 0, 1}, {0, 2, 0}, 1.0f},
                                 {{0, 2, 3, 3}, {1, 0, 1, 0}, {0, 2, 0}, 1.0f},
                                 {{0, 2, 2, 3}, {1, 1, 0, 0}, {1, 0, 1}, -1.0f}};
  rng_seed(1);
  for (const Expected& want : replicates) {
    const ReplicateScores scores = mc_replicate(s.locus, w);
    EXPECT_EQ(scores.x2, 2.0);
    EXPECT_EQ(scores.d, want.d);
    EXPECT_TRUE(w.slots_filled);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(w.slots[i].target, want.targets[i]) << i;
      EXPECT_EQ(w.slots[i].allele, want.alleles[i]) << i;
    }
    for (int c = 0; c < 3; ++c) EXPECT_EQ(w.sim_table[c], want.sim[c]) << c;
  }
  for (int32_t c = 0; c < 3; ++c) EXPECT_EQ(w.cell_hits[c], 3u) << "cell " << c;
  // Four draws per replicate, the last slot's included.
  const uint32_t after_three = rng_state;
  rng_seed(1);
  draws(12);
  EXPECT_EQ(rng_state, after_three);
}

TEST(SimChiSquare, ObservedTableHitsEveryCellAndTiesWithItself) {
  McSample s = help_screen_sample();
  const LocusAnalysis& a = s.locus;
  std::vector<int32_t> observed;
  for (int32_t c = 0; c < a.cells; ++c) observed.push_back(a.table[c].count);
  std::vector<uint32_t> hits(static_cast<size_t>(a.cells), 0);
  const double x2 = sim_chi_square(observed.data(), a.expected.data, s.work.expectation.data,
                                   a.cells, s.work.reference_x2.data, hits.data());
  for (int32_t c = 0; c < a.cells; ++c) EXPECT_EQ(hits[c], 1u) << "cell " << c;
  EXPECT_EQ(std::bit_cast<uint64_t>(x2), std::bit_cast<uint64_t>(s.work.x2_obs));
  EXPECT_NEAR(x2, reference_table_x2(observed.data(), a.allele_total.data, a.k, a.two_n),
              1e-12 * x2);
  // The float32 figure is the same statistic, rounded.
  EXPECT_NEAR(x2, a.x2_obs, 1e-3);
}

// Tables whose chi-square is mathematically equal: the sample ac:1 bb:4 bd:3
// be:1 dd:3 and the same with alleles c and e or a and e (one copy each)
// exchanged. The double sums agree far inside the tie margin.
TEST(SimChiSquare, RelabelledTablesTie) {
  McSample s = make_sample(5, {{0, 2, 1}, {1, 1, 4}, {1, 3, 3}, {1, 4, 1}, {3, 3, 3}});
  const LocusAnalysis& a = s.locus;
  auto x2_of = [&](std::vector<GenotypeRecord> records) {
    std::vector<int32_t> t(static_cast<size_t>(a.cells), 0);
    for (const GenotypeRecord& r : records) t[tri_index(r.i, r.j, a.k)] = r.count;
    return table_chi_square(t.data(), s.work.expectation.data, a.cells);
  };
  const double obs = x2_of({{0, 2, 1}, {1, 1, 4}, {1, 3, 3}, {1, 4, 1}, {3, 3, 3}});
  EXPECT_EQ(obs, s.work.x2_obs);
  for (const double tied : {x2_of({{0, 4, 1}, {1, 1, 4}, {1, 3, 3}, {1, 2, 1}, {3, 3, 3}}),
                            x2_of({{2, 4, 1}, {1, 1, 4}, {1, 3, 3}, {0, 1, 1}, {3, 3, 3}})}) {
    EXPECT_NEAR(tied, obs, obs * 1e-12);
    EXPECT_GE(tied, obs * (1.0 - kTieMargin));
  }
}

TEST(SimChiSquare, HitTestAgreesWithTheReferenceNearTheObservedValue) {
  // Reference values from just below to just above each simulated
  // contribution, across the 0.00001 steps where the scaled integers change.
  const float expected[] = {0.37f, 2.5f, 13.0f, 1000.25f};
  const int32_t counts[] = {1, 7, 2, 1200};
  for (int n = 0; n < 4; ++n) {
    const float diff = static_cast<float>(static_cast<long double>(counts[n]) - expected[n]);
    const float v = static_cast<float>(static_cast<long double>(diff) * diff / expected[n]);
    for (int step = -300; step <= 300; ++step) {
      const float reference = v + static_cast<float>(step) * 1e-7f * (1.0f + v);
      uint32_t fast = 0;
      uint32_t ref = 0;
      const CellExpectation cell{expected[n], 1.0 / expected[n]};
      sim_chi_square(&counts[n], &expected[n], &cell, 1, &reference, &fast);
      reference_cell_hits(&counts[n], &expected[n], 1, &reference, &ref);
      ASSERT_EQ(fast, ref) << "v " << v << " x2 " << reference;
    }
  }
}

TEST(SimChiSquare, HitTestComparesBeyondThe32BitRange) {
  // Expected 0.0001 and 3 observed: x2 near 89994 (scaled 8999400006, above
  // 2^32). A count of 2 (about 39996) must not count, although its 32-bit
  // scaled value would have been above the wrapped observed one.
  uint32_t hits = 0;
  const float expected = 0.0001f;
  const float t = static_cast<float>(static_cast<long double>(3) - expected);
  const float reference = static_cast<float>(static_cast<long double>(t) * t / expected);
  const CellExpectation cell{expected, 1.0 / expected};
  for (const int32_t sim : {2, 3, 4})
    sim_chi_square(&sim, &expected, &cell, 1, &reference, &hits);
  EXPECT_EQ(hits, 2u);
}

// --- the program's replicate against the step-by-step reference ---

void expect_same_as_reference(McSample& s, int replicates, uint32_t seed) {
  const LocusAnalysis& a = s.locus;
  McWorkspace& fast = s.work;
  McWorkspace ref;
  ASSERT_EQ(prepare_workspace(ref, a), WorkspaceStatus::kReady);
  rng_seed(seed);
  for (int r = 0; r < replicates; ++r) {
    const uint32_t start = rng_state;
    const ReplicateScores want =
        reference_mc_replicate(a, ref.slots.data, ref.sim_table.data, ref.reference_x2.data,
                               ref.cell_hits.data, &ref.slots_filled);
    const uint32_t after_ref = rng_state;
    rng_state = start;
    const ReplicateScores got = mc_replicate(a, fast);
    ASSERT_EQ(rng_state, after_ref) << "replicate " << r;
    ASSERT_NEAR(got.x2, want.x2, 1e-12 * want.x2) << r;
    ASSERT_EQ(std::bit_cast<uint32_t>(got.d), std::bit_cast<uint32_t>(want.d)) << r;
    ASSERT_EQ(0, std::memcmp(fast.sim_table.data, ref.sim_table.data,
                             sizeof(int32_t) * static_cast<size_t>(a.cells)))
        << "replicate " << r;
    for (int32_t i = 0; i < a.two_n; ++i) {
      ASSERT_EQ(fast.slots[i].target, ref.slots[i].target) << "replicate " << r << " slot " << i;
      ASSERT_EQ(fast.slots[i].allele, ref.slots[i].allele) << "replicate " << r << " slot " << i;
    }
    for (int32_t c = 0; c < a.cells; ++c) {
      ASSERT_EQ(fast.cell_hits[c], ref.cell_hits[c]) << "replicate " << r << " cell " << c;
    }
  }
}

struct EquivalenceCase {
  const char* name;
  int32_t k;
  int32_t two_n;
  double homozygote_share;
  int replicates;
};

void PrintTo(const EquivalenceCase& c, std::ostream* os) { *os << c.name; }

class ReplicateEquivalence : public ::testing::TestWithParam<EquivalenceCase> {};

TEST_P(ReplicateEquivalence, SameSlotsTablesHitsAndStatistics) {
  const EquivalenceCase& c = GetParam();
  McSample s = make_random_sample(c.k, c.two_n, c.homozygote_share, 1234u + c.k + c.two_n);
  ASSERT_EQ(s.locus.k, c.k);
  ASSERT_EQ(s.locus.two_n, c.two_n);
  expect_same_as_reference(s, c.replicates, 0xC0FFEEu + static_cast<uint32_t>(c.two_n));
}

// Few and many alleles, samples small and large (beyond 32768 copies the
// draws need no reduction), genotypes counted in a square or a triangle.
INSTANTIATE_TEST_SUITE_P(
    Samples, ReplicateEquivalence,
    ::testing::Values(EquivalenceCase{"two_alleles_tiny", 2, 6, 0.0, 20000},
                      EquivalenceCase{"three_alleles_homozygous", 3, 40, 0.8, 10000},
                      EquivalenceCase{"six_alleles", 6, 106, 0.3, 10000},
                      EquivalenceCase{"six_alleles_large", 6, 2000, 0.1, 3000},
                      EquivalenceCase{"twenty_alleles", 20, 600, 0.5, 3000},
                      EquivalenceCase{"twenty_alleles_few_copies", 20, 300, 0.2, 3000},
                      EquivalenceCase{"forty_alleles", 40, 2000, 0.2, 2000},
                      EquivalenceCase{"seventy_alleles", 70, 6000, 0.2, 500},
                      EquivalenceCase{"all_128_alleles", 128, 2000, 0.3, 1000},
                      EquivalenceCase{"all_128_alleles_large", 128, 20000, 0.0, 200},
                      EquivalenceCase{"beyond_32768_copies", 5, 70000, 0.05, 100}),
    [](const ::testing::TestParamInfo<EquivalenceCase>& info) { return info.param.name; });

TEST(ReplicateEquivalenceFixed, HelpScreenSampleFile) {
  McSample s = help_screen_sample();
  expect_same_as_reference(s, 5000, 1);
}

TEST(ReplicateEquivalenceFixed, RareAllelesWithLargeContributions) {
  McSample s = make_sample(4, {{0, 0, 3000}, {0, 1, 2}, {2, 3, 1}, {3, 3, 1}});
  expect_same_as_reference(s, 300, 77);
}

}  // namespace
