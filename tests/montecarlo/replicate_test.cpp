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

TEST(Generator, SequenceFromSeedOne) {
  rng_seed(1);
  EXPECT_EQ(draws(6), (std::vector<uint32_t>{346, 130, 10982, 1090, 11656, 7117}));
}

TEST(Generator, SequenceFromSeedZeroStartsWithZero) {
  rng_seed(0);
  EXPECT_EQ(draws(5), (std::vector<uint32_t>{0, 346, 130, 10982, 1090}));
}

TEST(Generator, OutputsStayBelow32768AndStateWraps) {
  rng_seed(0xFFFFFFFFu);
  for (int i = 0; i < 100000; ++i) ASSERT_LE(rng_next(), 32767u);
  rng_seed(0xFFFFFFFFu);
  uint32_t state = 0xFFFFFFFFu;
  EXPECT_EQ(rng_step(state), rng_next());
  EXPECT_EQ(state, rng_state);
  EXPECT_EQ(state, 0xFFFFFFFFu * 22695477u + 1u);
}

// The file "ab:2": k = 2, two_n = 4, expected 0.5, 1, 0.5, het_expected 1.
class AbTwoExample : public ::testing::Test {
 protected:
  McSample s = make_sample(2, {{0, 1, 2}});
  McWork w{s};
  float d_sim = 0;

  float replicate() {
    return mc_replicate(s.two_n, s.k, s.allele_total.data, s.expected.data, w.slots.data,
                        w.sim_table.data, s.cells, s.het_expected, &d_sim, s.table.data,
                        &w.slots_filled);
  }
  std::vector<int32_t> targets() const {
    return {w.slots[0].target, w.slots[1].target, w.slots[2].target, w.slots[3].target};
  }
  std::vector<int> alleles() const {
    return {w.slots[0].allele, w.slots[1].allele, w.slots[2].allele, w.slots[3].allele};
  }
  std::vector<int32_t> sim() const {
    return {w.sim_table[0], w.sim_table[1], w.sim_table[2]};
  }
};

TEST_F(AbTwoExample, InputsAreAsExpected) {
  ASSERT_EQ(s.k, 2);
  ASSERT_EQ(s.two_n, 4);
  ASSERT_EQ(s.cells, 3);
  EXPECT_EQ(s.expected[0], 0.5f);
  EXPECT_EQ(s.expected[1], 1.0f);
  EXPECT_EQ(s.expected[2], 0.5f);
  EXPECT_EQ(s.het_expected, 1.0f);
  EXPECT_EQ(s.x2_obs, 2.0f);
}

TEST_F(AbTwoExample, ThreeReplicatesFromStateOne) {
  rng_seed(1);
  EXPECT_EQ(replicate(), 2.0f);
  EXPECT_EQ(d_sim, 1.0f);
  EXPECT_TRUE(w.slots_filled);
  EXPECT_EQ(targets(), (std::vector<int32_t>{2, 2, 2, 3}));
  EXPECT_EQ(alleles(), (std::vector<int>{1, 0, 0, 1}));
  EXPECT_EQ(sim(), (std::vector<int32_t>{0, 2, 0}));

  EXPECT_EQ(replicate(), 2.0f);
  EXPECT_EQ(d_sim, 1.0f);
  EXPECT_EQ(targets(), (std::vector<int32_t>{0, 2, 3, 3}));
  EXPECT_EQ(alleles(), (std::vector<int>{1, 0, 1, 0}));
  EXPECT_EQ(sim(), (std::vector<int32_t>{0, 2, 0}));

  EXPECT_EQ(replicate(), 2.0f);
  EXPECT_EQ(d_sim, -1.0f);
  EXPECT_EQ(targets(), (std::vector<int32_t>{0, 2, 2, 3}));
  EXPECT_EQ(alleles(), (std::vector<int>{1, 1, 0, 0}));
  EXPECT_EQ(sim(), (std::vector<int32_t>{1, 0, 1}));

  for (int32_t c = 0; c < 3; ++c) EXPECT_EQ(s.table[c].mc_hits, 3) << "cell " << c;
  // Four draws per replicate, the last slot's included.
  rng_seed(1);
  draws(12);
  const uint32_t after_twelve = rng_state;
  rng_seed(1);
  replicate();
  replicate();
  replicate();
  EXPECT_EQ(rng_state, after_twelve);
}

TEST(Replicate, LaysOutCopiesOnlyWhileSlotsAreNotFilled) {
  McSample s = make_sample(3, {{0, 0, 3}, {1, 2, 2}, {2, 2, 1}});
  McWork w{s};
  // Filled slots keep their own (here deliberately odd) order: nothing is
  // laid out again, only shuffled.
  w.slots_filled = true;
  const int8_t order[] = {2, 2, 2, 2, 1, 1, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 12; ++i) w.slots[i].allele = order[i];
  float d = 0;
  rng_seed(5);
  mc_replicate(s.two_n, s.k, s.allele_total.data, s.expected.data, w.slots.data,
               w.sim_table.data, s.cells, s.het_expected, &d, s.table.data, &w.slots_filled);
  // Same multiset of copies; the last slot's target is the slot itself.
  int per_allele[3] = {0, 0, 0};
  for (int i = 0; i < 12; ++i) ++per_allele[w.slots[i].allele];
  EXPECT_EQ(per_allele[0], 6);
  EXPECT_EQ(per_allele[1], 2);
  EXPECT_EQ(per_allele[2], 4);
  EXPECT_EQ(w.slots[11].target, 11);
  for (int i = 0; i < 12; ++i) {
    EXPECT_GE(w.slots[i].target, i);
    EXPECT_LT(w.slots[i].target, 12);
  }
}

TEST(SimChiSquare, ObservedTableHitsEveryCellAndGivesTheReferenceSum) {
  // The sample file of the help screen: a replicate that reproduces the
  // observed counts reaches every cell's x2 exactly.
  McSample s = make_sample(39, {{33, 34, 1}, {32, 32, 10}, {36, 38, 25}, {32, 35, 16}, {33, 35, 1}});
  ASSERT_EQ(s.k, 6);
  ASSERT_EQ(s.two_n, 106);
  std::vector<int32_t> observed;
  for (int32_t c = 0; c < s.cells; ++c) observed.push_back(s.table[c].count);
  const float x2 = sim_chi_square(observed.data(), s.expected.data, s.cells, s.table.data);
  for (int32_t c = 0; c < s.cells; ++c) EXPECT_EQ(s.table[c].mc_hits, 1) << "cell " << c;
  std::vector<GenotypeCell> ref_table(s.table.data, s.table.data + s.cells);
  EXPECT_EQ(std::bit_cast<uint32_t>(x2),
            std::bit_cast<uint32_t>(reference_sim_chi_square(observed.data(), s.expected.data,
                                                              s.cells, ref_table.data())));
  // Summed from the last cell down, the total is close to but not always
  // bit-equal with X2 summed upward from the report's contributions.
  EXPECT_NEAR(x2, s.x2_obs, 1e-3);
}

TEST(SimChiSquare, HitTestComparesBeyondThe32BitRange) {
  // One cell, expected 0.0001, observed 3 individuals: x2 near 89994 (scaled
  // 8999400006, above 2^32). A simulated count of 2 gives about 39996: no hit,
  // although its 32-bit scaled value would have wrapped past the observed one.
  GenotypeCell cell{};
  const float expected = 0.0001f;
  const float t = static_cast<float>(static_cast<long double>(3) - expected);
  cell.x2 = static_cast<float>(static_cast<long double>(t) * t / expected);
  ASSERT_GT(cell.x2, 42949.67296f);
  int32_t sim = 2;
  sim_chi_square(&sim, &expected, 1, &cell);
  EXPECT_EQ(cell.mc_hits, 0);
  sim = 3;
  sim_chi_square(&sim, &expected, 1, &cell);
  EXPECT_EQ(cell.mc_hits, 1);
  sim = 4;
  sim_chi_square(&sim, &expected, 1, &cell);
  EXPECT_EQ(cell.mc_hits, 2);
}

// --- the program's replicate against the step-by-step reference ---

struct EquivalenceCase {
  const char* name;
  int32_t k;
  int32_t two_n;
  double homozygote_share;
  int replicates;
};

void PrintTo(const EquivalenceCase& c, std::ostream* os) { *os << c.name; }

void expect_same_as_reference(McSample& s, int replicates, uint32_t seed) {
  McWork fast{s};
  McWork ref{s};
  std::vector<GenotypeCell> ref_table(s.table.data, s.table.data + s.cells);
  rng_seed(seed);
  for (int r = 0; r < replicates; ++r) {
    const uint32_t start = rng_state;
    float d_ref = 0;
    const float x2_ref = reference_mc_replicate(
        s.two_n, s.k, s.allele_total.data, s.expected.data, ref.slots.data, ref.sim_table.data,
        s.cells, s.het_expected, &d_ref, ref_table.data(), &ref.slots_filled);
    const uint32_t after_ref = rng_state;
    rng_state = start;
    float d_fast = 0;
    const float x2_fast = mc_replicate(s.two_n, s.k, s.allele_total.data, s.expected.data,
                                       fast.slots.data, fast.sim_table.data, s.cells,
                                       s.het_expected, &d_fast, s.table.data, &fast.slots_filled);
    ASSERT_EQ(rng_state, after_ref) << "replicate " << r;
    ASSERT_EQ(std::bit_cast<uint32_t>(x2_fast), std::bit_cast<uint32_t>(x2_ref)) << "replicate " << r;
    ASSERT_EQ(std::bit_cast<uint32_t>(d_fast), std::bit_cast<uint32_t>(d_ref)) << "replicate " << r;
    ASSERT_EQ(0, std::memcmp(fast.sim_table.data, ref.sim_table.data,
                             sizeof(int32_t) * static_cast<size_t>(s.cells)))
        << "replicate " << r;
    for (int32_t i = 0; i < s.two_n; ++i) {
      ASSERT_EQ(fast.slots[i].target, ref.slots[i].target) << "replicate " << r << " slot " << i;
      ASSERT_EQ(fast.slots[i].allele, ref.slots[i].allele) << "replicate " << r << " slot " << i;
    }
    for (int32_t c = 0; c < s.cells; ++c) {
      ASSERT_EQ(s.table[c].mc_hits, ref_table[static_cast<size_t>(c)].mc_hits)
          << "replicate " << r << " cell " << c;
    }
  }
  // The hit counts must have moved away from the trivial all-or-nothing.
  int32_t some = 0;
  for (int32_t c = 0; c < s.cells; ++c) some += s.table[c].mc_hits;
  EXPECT_GT(some, 0);
}

class ReplicateEquivalence : public ::testing::TestWithParam<EquivalenceCase> {};

TEST_P(ReplicateEquivalence, SameSlotsTablesHitsAndStatistics) {
  const EquivalenceCase& c = GetParam();
  McSample s = make_random_sample(c.k, c.two_n, c.homozygote_share, 1234u + c.k + c.two_n);
  ASSERT_EQ(s.k, c.k);
  ASSERT_EQ(s.two_n, c.two_n);
  expect_same_as_reference(s, c.replicates, 0xC0FFEEu + static_cast<uint32_t>(c.two_n));
}

INSTANTIATE_TEST_SUITE_P(
    Samples, ReplicateEquivalence,
    ::testing::Values(EquivalenceCase{"two_alleles_tiny", 2, 6, 0.0, 20000},
                      EquivalenceCase{"three_alleles_homozygous", 3, 40, 0.8, 10000},
                      EquivalenceCase{"six_alleles", 6, 106, 0.3, 10000},
                      EquivalenceCase{"six_alleles_large", 6, 2000, 0.1, 3000},
                      EquivalenceCase{"twenty_alleles", 20, 600, 0.5, 3000},
                      EquivalenceCase{"forty_alleles", 40, 2000, 0.2, 2000},
                      EquivalenceCase{"all_128_alleles", 128, 2000, 0.3, 1000},
                      EquivalenceCase{"all_128_alleles_large", 128, 20000, 0.0, 200},
                      EquivalenceCase{"beyond_32768_copies", 5, 70000, 0.05, 100}),
    [](const ::testing::TestParamInfo<EquivalenceCase>& info) { return info.param.name; });

TEST(ReplicateEquivalenceFixed, HelpScreenSampleFile) {
  McSample s =
      make_sample(39, {{33, 34, 1}, {32, 32, 10}, {36, 38, 25}, {32, 35, 16}, {33, 35, 1}});
  expect_same_as_reference(s, 5000, 1);
}

TEST(ReplicateEquivalenceFixed, OneAlleleDominatesWithRareAlleles) {
  // Tiny expected counts for the rare genotypes: large per-cell contributions.
  McSample s = make_sample(4, {{0, 0, 3000}, {0, 1, 2}, {2, 3, 1}, {3, 3, 1}});
  expect_same_as_reference(s, 300, 77);
}

}  // namespace
