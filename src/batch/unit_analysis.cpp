#include "batch/unit_analysis.h"

#include <ctime>
#include <utility>

#include "exact/rng64.h"
#include "genotype/genotype_reader.h"
#include "montecarlo/memory_budget.h"
#include "stats/chi_square.h"
#include "stats/locus_analysis.h"

const char* const kMcUniformNote =
    "more than 32768 allele copies: the permutation test's replicates are not uniform "
    "permutations (the generator gives 15 bits), so its p values are approximate; "
    "--exact is exact at any size";

std::string mc_memory_note(const UnitResult& r) {
  if (!r.mc_beyond_memory) return "";
  const uint64_t mib = workspace_bytes(r.locus.two_n, r.locus.cells) >> 20;
  return "the permutation test needs " + std::to_string(mib) +
         " MiB, more than this process may use: its columns are NA; --exact tests any "
         "sample size";
}

bool mc_not_uniform(const UnitResult& r) {
  return r.mc.has_value() && !replicates_are_uniform(r.locus.two_n);
}

ExactSample exact_sample_of(const LocusAnalysis& a) {
  ExactSample sample;
  sample.k = a.k;
  sample.counts.resize(static_cast<size_t>(a.cells));
  for (int32_t pos = 0; pos < a.cells; ++pos)
    sample.counts[static_cast<size_t>(pos)] = a.table[static_cast<size_t>(pos)].count;
  return sample;
}

std::string analyse_unit(GenotypeUnit unit, const BatchOptions& options, const McHooks& hooks,
                         UnitResult& r) {
  r.seed = options.seed_given ? options.seed : static_cast<uint32_t>(std::time(nullptr));
  r.stream_key = unit.stream_key;
  const int32_t mc_max_k = unit.mc_max_k;
  const AnalysisStatus status = analyse_locus(std::move(unit.table), unit.k, unit.two_n, r.locus);
  if (status != AnalysisStatus::kOk) return analysis_failure_words(status);
  r.p_x2 = chi_square_upper_tail(r.locus.x2_obs, r.locus.df);
  if (options.runs > 0 && r.locus.k <= mc_max_k) {
    McWorkspace work;
    switch (prepare_workspace(work, r.locus)) {
      case WorkspaceStatus::kOutOfMemory:
        return kMemoryErrorText;
      case WorkspaceStatus::kBeyondMemory:
        r.mc_beyond_memory = true;
        break;
      case WorkspaceStatus::kReady:
        run_replicates(r.locus, work, options.runs, permutation_seed(r.seed, r.stream_key), hooks,
                       r.mc.emplace());
        break;
    }
  }
  return "";
}

uint32_t permutation_seed(uint32_t seed, uint64_t stream_key) {
  if (stream_key == 0) return seed;
  return static_cast<uint32_t>(splitmix64_mix(stream_key ^ seed) >> 32);
}

std::string run_x_linked_test(const XLinkedSample& sample, uint64_t key,
                              const BatchOptions& options, unsigned threads,
                              XLinkedResult& result) {
  ExactOptions exact_options;
  exact_options.max_tables = options.max_tables;
  exact_options.tables = options.tables;
  exact_options.tables_auto = options.tables_auto;
  exact_options.seed = options.seed;
  exact_options.stream_key = key;
  exact_options.threads = threads;
  const ExactStatus status = run_x_linked_exact(sample, exact_options, result);
  return status == ExactStatus::kOk ? "" : exact_status_message(status);
}

std::string add_exact_tests(UnitResult& r, const BatchOptions& options, unsigned threads,
                            const ExactTables* prepared, bool keep_u_law) {
  ExactOptions exact_options;
  exact_options.keep_u_law = keep_u_law;
  exact_options.prepared = prepared;
  exact_options.max_tables = options.max_tables;
  exact_options.tables = options.tables;
  exact_options.tables_auto = options.tables_auto;
  exact_options.seed = r.seed;
  exact_options.stream_key = r.stream_key;
  exact_options.threads = threads;
  ExactResult exact;
  const ExactStatus status = run_exact_tests(exact_sample_of(r.locus), exact_options, exact);
  if (status != ExactStatus::kOk) return exact_status_message(status);
  r.exact = std::move(exact);
  return "";
}
