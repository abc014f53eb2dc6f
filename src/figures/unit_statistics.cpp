#include "figures/unit_statistics.h"

#include "stats/locus_analysis.h"

namespace {

constexpr StatisticEntry kEntries[] = {
    {Statistic::kX2, "x2", CellForm::kFloat,
     [](const UnitMeasures& m) -> double { return m.result.locus.x2_obs; }},
    {Statistic::kDf, "df", CellForm::kInt,
     [](const UnitMeasures& m) -> double { return m.result.locus.df; }},
    {Statistic::kX2Crit, "x2_crit", CellForm::kFloat,
     [](const UnitMeasures& m) -> double { return m.result.locus.x2_crit; }},
    {Statistic::kPX2, "p_x2", CellForm::kDoubleOrNa,
     [](const UnitMeasures& m) { return m.result.p_x2; }},
    {Statistic::kHObs, "h_obs", CellForm::kDouble,
     [](const UnitMeasures& m) { return observed_heterozygosity(m.result.locus); }},
    // From the integer counts in double, without the report's float32 rounding.
    {Statistic::kHExp, "h_exp", CellForm::kDouble,
     [](const UnitMeasures& m) { return m.heterozygosity.h_exp; }},
    {Statistic::kHe, "he", CellForm::kDoubleOrNa,
     [](const UnitMeasures& m) { return m.heterozygosity.he; }},
    {Statistic::kFIs, "f_is", CellForm::kDoubleOrNa,
     [](const UnitMeasures& m) { return m.heterozygosity.f_is; }},
    {Statistic::kD, "d", CellForm::kFloat,
     [](const UnitMeasures& m) -> double { return m.result.locus.d_obs; }},
    {Statistic::kKnd2, "knd2", CellForm::kDouble,
     [](const UnitMeasures& m) {
       const LocusAnalysis& a = m.result.locus;
       return static_cast<double>(selander_statistic(a.d_obs, a.two_n, a.k));
     }},
};

static_assert(std::size(kEntries) == kStatisticCount, "one entry per statistic");

constexpr bool in_enum_order() {
  for (size_t i = 0; i < std::size(kEntries); ++i)
    if (static_cast<size_t>(kEntries[i].id) != i) return false;
  return true;
}
static_assert(in_enum_order(), "the entries in the order of the enum");

}  // namespace

std::span<const StatisticEntry> statistic_entries() { return kEntries; }

const char* statistic_column(Statistic s) { return kEntries[static_cast<size_t>(s)].column; }
