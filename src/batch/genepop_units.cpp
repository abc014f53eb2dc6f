#include "batch/genepop_units.h"

#include <limits>
#include <utility>

bool genepop_testable(const GenepopTally& t) { return t.n > 0 && tally_k(t) >= 2; }

namespace {

// Counts only: the letters stay 0, as no character names such a class.
bool fill_unnamed_table(const GenepopTally& t, GenotypeTable& table) {
  const int32_t cells = cell_count_for(tally_k(t));
  if (!table.allocate_zeroed(static_cast<size_t>(cells))) return false;
  clear_genotype_table(table.data, cells);
  for (int32_t pos = 0; pos < cells; ++pos)
    table[static_cast<size_t>(pos)].count = t.genotype_counts[static_cast<size_t>(pos)];
  return true;
}

}  // namespace

bool make_genepop_unit(const GenepopTally& t, GenotypeUnit& unit) {
  unit.mc_max_k = kGenepopMcClasses;
  if (tally_k(t) <= kMaxLetterClasses)
    return fill_classic_table(t, unit.table, unit.k, unit.two_n);
  if (!fill_unnamed_table(t, unit.table)) return false;
  unit.k = tally_k(t);
  unit.two_n = 2 * t.n;
  return true;
}

std::string genepop_unit_name(const GenepopTally& t) {
  return "population " + std::to_string(t.population) + ", locus " + t.locus_name;
}

double leading_p(const UnitResult& r, const BatchOptions& options) {
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  if (options.exact) return r.with_exact ? r.exact.test[ExactTest::kProb].p : kNone;
  if (options.runs > 0)
    return r.with_mc && r.mc.runs_made > 0 ? static_cast<double>(r.mc.p_hw) : kNone;
  return r.p_x2;
}
