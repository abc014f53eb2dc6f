#include "exact/exact_tests.h"

#include <algorithm>
#include <boost/math/special_functions/beta.hpp>
#include <cmath>
#include <limits>
#include <utility>

#include "stats/proportion_limits.h"
#include "stats/multiple_testing.h"
#include "exact/enumerate.h"
#include "exact/sampler.h"
#include "exact/table_stats.h"
#include "stats/proportion_limits.h"

namespace {

constexpr int64_t kMaxCopies = int64_t{1} << 50;

}  // namespace

ExactStatus check_exact_sample(const ExactSample& sample) {
  const int32_t k = sample.k;
  if (k < 1 || sample.counts.size() != static_cast<size_t>(k) * (k + 1) / 2) {
    return ExactStatus::kNoAlleles;
  }
  for (int64_t t : sample.counts) {
    if (t < 0) return ExactStatus::kNegativeCount;
    if (t > kMaxCopies) return ExactStatus::kTooLarge;
  }
  int64_t two_n = 0;
  for (int32_t i = 0; i < k; ++i) {
    int64_t copies = 0;
    for (int32_t j = 0; j < k; ++j) {
      copies += sample.counts[tri_index(std::min(i, j), std::max(i, j), k)] * (i == j ? 2 : 1);
      if (copies > kMaxCopies) return ExactStatus::kTooLarge;
    }
    if (copies == 0) return ExactStatus::kEmptyClass;
    two_n += copies;
    if (two_n > kMaxCopies) return ExactStatus::kTooLarge;
  }
  return ExactStatus::kOk;
}

namespace {

// 2N of a checked sample.
int64_t sample_copies(const ExactSample& sample) {
  int64_t two_n = 0;
  for (int64_t t : sample.counts) two_n += 2 * t;
  return two_n;
}

ExactP exact(double p) { return {p, p, p}; }

}  // namespace

ExactP sampled_p(uint64_t hits, uint64_t tables, SamplingStop stop) {
  if (stop == SamplingStop::kSequentialHits) {
    // Stopped at the b-th hit at draw l: p = b/l, and the limits of inverse
    // binomial sampling, [B^-1(0.025; b, l - b + 1), B^-1(0.975; b, l - b)].
    const double b = static_cast<double>(hits);
    const double l = static_cast<double>(tables);
    const double high = hits < tables ? boost::math::ibeta_inv(b, l - b, 0.975) : 1.0;
    return {b / l, boost::math::ibeta_inv(b, l - b + 1.0, 0.025), high};
  }
  const ProportionLimits limits = clopper_pearson_95(hits, tables);
  return {static_cast<double>(hits) / static_cast<double>(tables), limits.low, limits.high};
}

double valid_sampled_p(uint64_t hits, uint64_t tables, SamplingStop stop) {
  const double b = static_cast<double>(hits);
  if (stop == SamplingStop::kSequentialHits) return b / static_cast<double>(tables);
  return valid_p(b, static_cast<double>(tables));
}

double exact_leading_p(const ExactResult& result) {
  if (result.method == ExactMethod::kEnumeration) return result.test[ExactTest::kProb].p;
  return valid_sampled_p(result.hits[ExactTest::kProb], result.tables, result.stop);
}

double exact_leading_log10_p(const ExactResult& result) {
  if (result.method == ExactMethod::kEnumeration) return result.log10_prob;
  return std::log10(exact_leading_p(result));
}

double exact_valid_p(const ExactResult& result, ExactTest test) {
  if (test == ExactTest::kProb) return exact_leading_p(result);
  if (result.method == ExactMethod::kEnumeration) return result.test[test].p;
  return valid_sampled_p(result.hits[test], result.tables, SamplingStop::kFixedCount);
}

const char* exact_status_message(ExactStatus status) {
  switch (status) {
    case ExactStatus::kOk:
      return "ok";
    case ExactStatus::kNoAlleles:
      return "no genotype counts for the exact tests";
    case ExactStatus::kNegativeCount:
      return "negative genotype count";
    case ExactStatus::kEmptyClass:
      return "allele class without copies";
    case ExactStatus::kTooLarge:
      return "sample too large for the exact tests";
    case ExactStatus::kNoTables:
      return "number of tables to draw must be at least 1";
    case ExactStatus::kTooManyTables:
      return "number of tables to draw beyond 1000000000000000";
  }
  return "unknown status";
}

ExactTables prepare_exact_tables(int64_t max_two_n) {
  ExactTables t;
  t.max_two_n = max_two_n;
  t.log_factorials = build_log_factorials(max_two_n);
  return t;
}

const LogFactorials& exact_log_factorials(const ExactOptions& options, int64_t copies,
                                          ExactTables& own) {
  if (options.prepared != nullptr && options.prepared->max_two_n >= copies) {
    return options.prepared->log_factorials;
  }
  own = prepare_exact_tables(copies);
  return own.log_factorials;
}

ExactStatus run_exact_tests(const ExactSample& sample, const ExactOptions& options,
                            ExactResult& result) {
  const ExactStatus status = check_exact_sample(sample);
  if (status != ExactStatus::kOk) return status;
  ExactTables own;
  const TableStats stats =
      prepare_table_stats(sample, exact_log_factorials(options, sample_copies(sample), own));

  // A limit beyond 2^62 tables is no limit any enumeration could reach.
  const uint64_t limit = std::min<uint64_t>(options.max_tables, uint64_t{1} << 62);
  const uint64_t count = limit == 0 ? 1 : count_tables(stats, limit);
  if (limit > 0 && count <= limit) {
    ExactPValues p = enumerate_tables(stats, {.keep_u_law = options.keep_u_law});
    result = ExactResult{};
    result.method = ExactMethod::kEnumeration;
    result.tables = count;
    result.seed = options.seed;
    for (ExactTest test : kExactTests) result.test[test] = exact(p.p[test]);
    result.prob_mid = p.prob_mid;
    result.log10_prob = p.log10_prob;
    result.log10_prob_mid = p.log10_prob_mid;
    result.u_score = stats.u.u_sample;
    result.u_law = std::move(p.u_law);
    return ExactStatus::kOk;
  }
  if (options.tables == 0) return ExactStatus::kNoTables;
  if (options.tables > kMaxExactTables) return ExactStatus::kTooManyTables;
  SampleHits hits;
  SamplingStop stop = SamplingStop::kFixedCount;
  if (options.tables_auto) {
    const SequentialHits seq = sample_until_hits(stats, options.tables, kSequentialHits,
                                                 options.seed, options.threads, options.stream_key);
    hits = seq.hits;
    stop = seq.reached ? SamplingStop::kSequentialHits : SamplingStop::kSequentialLimit;
  } else {
    hits = sample_tables(stats, options.tables, options.seed, options.threads, options.stream_key);
  }
  result = ExactResult{};
  result.method = ExactMethod::kSampling;
  result.tables = hits.tables;
  result.seed = options.seed;
  result.hits = hits.hits;
  result.stop = stop;
  result.prob_mid = std::numeric_limits<double>::quiet_NaN();
  result.log10_prob = std::numeric_limits<double>::quiet_NaN();
  result.log10_prob_mid = std::numeric_limits<double>::quiet_NaN();
  result.u_score = stats.u.u_sample;
  for (ExactTest test : kExactTests) {
    // Only p_prob stops the draws; the other tests are counts of as many.
    const SamplingStop own = test == ExactTest::kProb ? stop : SamplingStop::kFixedCount;
    result.test[test] = sampled_p(hits.hits[test], hits.tables, own);
  }
  return ExactStatus::kOk;
}
