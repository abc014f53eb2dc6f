#include "exact/exact_tests.h"

#include <algorithm>

#include "exact/clopper_pearson.h"
#include "exact/enumerate.h"
#include "exact/sampler.h"
#include "exact/table_stats.h"

namespace {

constexpr int64_t kMaxCopies = int64_t{1} << 50;

ExactStatus check_sample(const ExactSample& sample) {
  const int32_t k = sample.k;
  if (k < 1 || sample.counts.size() != static_cast<size_t>(k) * (k + 1) / 2) {
    return ExactStatus::no_alleles;
  }
  for (int64_t t : sample.counts) {
    if (t < 0) return ExactStatus::negative_count;
    if (t > kMaxCopies) return ExactStatus::too_large;
  }
  int64_t two_n = 0;
  for (int32_t i = 0; i < k; ++i) {
    int64_t copies = 0;
    for (int32_t j = 0; j < k; ++j) {
      copies += sample.counts[cell_index(std::min(i, j), std::max(i, j), k)] * (i == j ? 2 : 1);
      if (copies > kMaxCopies) return ExactStatus::too_large;
    }
    if (copies == 0) return ExactStatus::empty_class;
    two_n += copies;
    if (two_n > kMaxCopies) return ExactStatus::too_large;
  }
  return ExactStatus::ok;
}

ExactP sampled(uint64_t hits, uint64_t tables) {
  const ProportionLimits limits = clopper_pearson_95(hits, tables);
  return {static_cast<double>(hits) / static_cast<double>(tables), limits.low, limits.high};
}

ExactP exact(double p) { return {p, p, p}; }

}  // namespace

const char* exact_status_message(ExactStatus status) {
  switch (status) {
    case ExactStatus::ok:
      return "ok";
    case ExactStatus::no_alleles:
      return "no genotype counts for the exact tests";
    case ExactStatus::negative_count:
      return "negative genotype count";
    case ExactStatus::empty_class:
      return "allele class without copies";
    case ExactStatus::too_large:
      return "sample too large for the exact tests";
    case ExactStatus::no_tables:
      return "number of tables to draw must be at least 1";
  }
  return "unknown status";
}

ExactStatus run_exact_tests(const ExactSample& sample, const ExactOptions& options,
                            ExactResult& result) {
  const ExactStatus status = check_sample(sample);
  if (status != ExactStatus::ok) return status;
  const TableStats stats = prepare_table_stats(sample);

  // A limit beyond 2^62 tables is no limit any enumeration could reach.
  const uint64_t limit = std::min<uint64_t>(options.max_tables, uint64_t{1} << 62);
  const uint64_t count = limit == 0 ? 1 : count_tables(stats, limit);
  if (limit > 0 && count <= limit) {
    const ExactPValues p = enumerate_tables(stats);
    result = ExactResult{};
    result.method = ExactMethod::enumeration;
    result.tables = count;
    result.seed = options.seed;
    result.prob = exact(p.prob);
    result.x2e = exact(p.x2e);
    result.llr = exact(p.llr);
    result.deficit = exact(p.deficit);
    result.excess = exact(p.excess);
    return ExactStatus::ok;
  }
  if (options.tables == 0) return ExactStatus::no_tables;
  const SampleHits hits = sample_tables(stats, options.tables, options.seed, options.threads);
  result = ExactResult{};
  result.method = ExactMethod::sampling;
  result.tables = hits.tables;
  result.seed = options.seed;
  result.prob = sampled(hits.prob, hits.tables);
  result.x2e = sampled(hits.x2e, hits.tables);
  result.llr = sampled(hits.llr, hits.tables);
  result.deficit = sampled(hits.deficit, hits.tables);
  result.excess = sampled(hits.excess, hits.tables);
  return ExactStatus::ok;
}
