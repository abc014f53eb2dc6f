// The per-unit statistics as data, as the exact tests keep theirs: one enum,
// one table. Each entry names its column, says how its cell is written and
// computes its value from the unit's analysis; the row writes the table's
// columns in table order, the summary and the results page read the values
// by their Statistic, and the merge finds their columns by the same names.
// A new statistic is one enum value and one entry.
//
// Beside them, the exact tests whose p-values the summary combines per
// scope (one entry each), and the names of the other columns the merge
// reads back, so that writer and reader share them.
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "exact/exact_tests.h"
#include "report/unit_result.h"
#include "stats/heterozygosity.h"

enum class Statistic { kX2, kDf, kX2Crit, kPX2, kHObs, kHExp, kHe, kFIs, kD, kKnd2, kCount };
inline constexpr size_t kStatisticCount = static_cast<size_t>(Statistic::kCount);

// One value per statistic, indexed by it.
template <typename T>
struct PerStatistic {
  std::array<T, kStatisticCount> value{};
  T& operator[](Statistic s) { return value[static_cast<size_t>(s)]; }
  const T& operator[](Statistic s) const { return value[static_cast<size_t>(s)]; }
};

// How a value is written: a float32 figure as the shortest decimal of its
// float (the value holds it exactly), an integer, a double, or a double
// that may have no value (NaN, written NA).
enum class CellForm { kFloat, kInt, kDouble, kDoubleOrNa };

// What the statistics are computed from: the analysis, and the
// heterozygosity figures of its counts, worked out once for all of them.
struct UnitMeasures {
  const UnitResult& result;
  UnitHeterozygosity heterozygosity;
};

struct StatisticEntry {
  Statistic id;
  const char* column;
  CellForm form;
  double (*value)(const UnitMeasures& m);
};

// Every statistic, in row order (which is the enum's).
std::span<const StatisticEntry> statistic_entries();

const char* statistic_column(Statistic s);

// The exact tests whose valid p-values the summary combines per scope by
// Fisher's method besides the leading p, when the exact tests ran: each
// gives the summary p_fisher_<suffix> and q_bh_<suffix>, and the merge
// restores its valid p from the row.
struct CombinedTest {
  ExactTest test;
  const char* suffix;
};
inline constexpr CombinedTest kCombinedTests[] = {{ExactTest::kDeficit, "deficit"},
                                                  {ExactTest::kExcess, "excess"}};
inline constexpr size_t kCombinedTestCount = std::size(kCombinedTests);

// The summary's columns of the global U tests over a scope (their limits
// add _low and _high, their q_bh is q_bh_ before the name less its "p_").
inline constexpr const char kUSumColumn[] = "u_sum";
inline constexpr const char kUGlobalMethodColumn[] = "u_global_method";
inline constexpr const char kPUDeficitGlobalColumn[] = "p_u_deficit_global";
inline constexpr const char kPUExcessGlobalColumn[] = "p_u_excess_global";

// Columns of a row outside the statistics that the merge reads back.
inline constexpr const char kKColumn[] = "k";
inline constexpr const char kNColumn[] = "n";
inline constexpr const char kMissingColumn[] = "missing";
inline constexpr const char kSeedColumn[] = "seed";
inline constexpr const char kMcRunsColumn[] = "mc_runs";
// The genotype counts after k n [missing] (genotype_counts.h): the three of
// a two-allele unit, then every genotype with a count.
inline constexpr const char* kGenotypeCountColumns[] = {"n_hom_ref", "n_het", "n_hom_alt"};
inline constexpr const char kGenotypeCountsColumn[] = "genotype_counts";
// The columns of a run with the samples' sexes (NA off X).
inline constexpr const char kMalesColumn[] = "males";
inline constexpr const char kFemalesColumn[] = "females";
inline constexpr const char kMaleHetColumn[] = "male_het";
inline constexpr const char kPSexAfColumn[] = "p_sex_af";
inline constexpr const char kPXProbColumn[] = "p_x_prob";
inline constexpr const char kPXProbMidColumn[] = "p_x_prob_mid";
// log10 of the leading p, in every row; the filter's verdict with --hwe.
inline constexpr const char kLog10LeadColumn[] = "log10_p_lead";
inline constexpr const char kHweFailColumn[] = "hwe_fail";
// The two columns that end the rows of a kind that adjusts p: the p that
// entered the adjustment, then its q.
inline constexpr const char kLeadColumn[] = "p_lead";
inline constexpr const char kQColumn[] = "q_bh";
