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

namespace {

ExactSample exact_sample_of(const LocusAnalysis& a) {
  ExactSample sample;
  sample.k = a.k;
  sample.counts.resize(static_cast<size_t>(a.cells));
  for (int32_t pos = 0; pos < a.cells; ++pos)
    sample.counts[static_cast<size_t>(pos)] = a.table[static_cast<size_t>(pos)].count;
  return sample;
}

}  // namespace

UnitResult analyse_unit(GenotypeUnit unit, const BatchOptions& options, const McHooks& hooks) {
  UnitResult r;
  r.seed = options.seed_given ? options.seed : static_cast<uint32_t>(std::time(nullptr));
  const int32_t mc_max_k = unit.mc_max_k;
  const AnalysisStatus status = analyse_locus(std::move(unit.table), unit.k, unit.two_n, r.locus);
  if (status != AnalysisStatus::kOk) {
    r.reason = analysis_failure_reason(status);
    return r;
  }
  r.p_x2 = chi_square_upper_tail(r.locus.x2_obs, r.locus.df);
  if (options.runs > 0 && r.locus.k <= mc_max_k) {
    McWorkspace work;
    if (!prepare_workspace(work, r.locus)) {
      r.reason = kMemoryErrorText;
      return r;
    }
    run_replicates(r.locus, work, options.runs, r.seed, hooks, r.mc);
    r.with_mc = true;
  }
  r.ok = true;
  if (options.exact) add_exact_tests(r, options, options.threads);
  return r;
}

void add_exact_tests(UnitResult& r, const BatchOptions& options, unsigned threads,
                     const ExactTables* prepared) {
  ExactOptions exact_options;
  exact_options.prepared = prepared;
  exact_options.max_tables = options.max_tables;
  exact_options.tables = options.tables;
  exact_options.seed = r.seed;
  exact_options.threads = threads;
  const ExactStatus status = run_exact_tests(exact_sample_of(r.locus), exact_options, r.exact);
  if (status != ExactStatus::kOk) {
    r.ok = false;
    r.reason = exact_status_message(status);
    return;
  }
  r.with_exact = true;
}
