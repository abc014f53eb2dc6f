#include "batch/unit_analysis.h"

#include <boost/math/special_functions/gamma.hpp>
#include <cmath>
#include <ctime>
#include <limits>
#include <utility>

#include "genotype/genotype_reader.h"

namespace {

// Domain and overflow problems give NaN or infinity instead of throwing.
using QuietPolicy = boost::math::policies::policy<
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::evaluation_error<boost::math::policies::ignore_error>>;

}  // namespace

double chi_square_upper_tail(double x2, int32_t df) {
  if (df < 1 || !std::isfinite(x2) || x2 < 0) return std::numeric_limits<double>::quiet_NaN();
  return boost::math::gamma_q(df / 2.0, x2 / 2.0, QuietPolicy());
}

std::string analysis_failure_reason(AnalysisStatus status) {
  switch (status) {
    case AnalysisStatus::kOk:
      return "";
    case AnalysisStatus::kNoData:
      return "possibly incorrect data in file";
    case AnalysisStatus::kOneAllele:
      return "only one allele class in file - nothing to test";
    case AnalysisStatus::kOutOfMemory:
    case AnalysisStatus::kOutOfMemoryShrink:
      return kMemoryErrorText;
  }
  return "";
}

UnitResult analyse_unit(GenotypeUnit unit, const BatchOptions& options, const McHooks& hooks) {
  UnitResult r;
  const AnalysisStatus status = analyse_locus(std::move(unit.table), unit.k, unit.two_n, r.locus);
  if (status != AnalysisStatus::kOk) {
    r.reason = analysis_failure_reason(status);
    return r;
  }
  r.p_x2 = chi_square_upper_tail(r.locus.x2_obs, r.locus.df);
  if (options.runs > 0) {
    McWorkspace work;
    if (!prepare_workspace(work, r.locus)) {
      r.reason = kMemoryErrorText;
      return r;
    }
    const uint32_t seed =
        options.seed_given ? options.seed : static_cast<uint32_t>(std::time(nullptr));
    run_replicates(r.locus, work, options.runs, seed, hooks, r.mc);
    r.with_mc = true;
  }
  r.ok = true;
  return r;
}
