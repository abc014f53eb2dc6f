#include "exact/x_linked_exact.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "exact/x_enumerate.h"
#include "exact/x_linked_stats.h"
#include "exact/x_sampler.h"
#include "exact/x_two_allele.h"
#include "genotype/genotype_table.h"

namespace {

constexpr int64_t kMaxCopies = int64_t{1} << 50;

// Counts within range, and n_t (at most 2^50) through `copies`.
ExactStatus check_x_sample(const XLinkedSample& sample, int64_t& copies) {
  const int32_t k = sample.k;
  if (k < 1 || sample.males.size() != static_cast<size_t>(k) ||
      sample.females.size() != static_cast<size_t>(cell_count_for(k))) {
    return ExactStatus::kNoAlleles;
  }
  copies = 0;
  auto add = [&](int64_t t, int64_t times) {
    if (t < 0) return ExactStatus::kNegativeCount;
    if (t > kMaxCopies) return ExactStatus::kTooLarge;
    copies += times * t;
    return copies > kMaxCopies ? ExactStatus::kTooLarge : ExactStatus::kOk;
  };
  for (int64_t m : sample.males) {
    if (const ExactStatus st = add(m, 1); st != ExactStatus::kOk) return st;
  }
  for (int64_t f : sample.females) {
    if (const ExactStatus st = add(f, 2); st != ExactStatus::kOk) return st;
  }
  return copies == 0 ? ExactStatus::kNoAlleles : ExactStatus::kOk;
}

ExactP exact_p(double p) { return {p, p, p}; }

void set_enumerated_x(XLinkedResult& r, const XPValue& v) {
  r.method = ExactMethod::kEnumeration;
  r.prob = exact_p(v.p);
  r.prob_mid = v.mid;
  r.log10_lead = v.log10_p;
  r.log10_mid = v.log10_mid;
}

void set_enumerated_sex_af(XLinkedResult& r, const XPValue& v, uint64_t splits) {
  r.sex_af_method = ExactMethod::kEnumeration;
  r.sex_af = exact_p(v.p);
  r.sex_af_tables = splits;
}

}  // namespace

double x_linked_leading_p(const XLinkedResult& result) {
  if (result.method == ExactMethod::kEnumeration) return result.prob.p;
  return valid_sampled_p(result.prob_hits, result.tables, result.stop);
}

ExactStatus run_x_linked_exact(const XLinkedSample& sample, const ExactOptions& options,
                               XLinkedResult& result) {
  int64_t copies = 0;
  if (const ExactStatus st = check_x_sample(sample, copies); st != ExactStatus::kOk) return st;
  ExactTables own;
  const XStats s = prepare_x_stats(sample, exact_log_factorials(options, copies, own));

  XLinkedResult r;
  r.seed = options.seed;
  if (s.k == 1) {
    // One table, tied with itself.
    set_enumerated_x(r, p_from_sums(0, XSums{1, 1, false}));
    set_enumerated_sex_af(r, p_from_sums(0, XSums{1, 1, false}), 1);
    r.tables = 1;
    result = r;
    return ExactStatus::kOk;
  }
  // A limit beyond 2^62 tables is no limit any enumeration could reach.
  const uint64_t limit = std::min<uint64_t>(options.max_tables, uint64_t{1} << 62);
  if (limit > 0 && s.k == 2) {
    set_enumerated_x(r, p_from_sums(s.log_p_sample, walk_two_allele_x(s)));
    r.tables = count_two_allele_x_tables(s);
    const uint64_t splits = static_cast<uint64_t>(std::min(s.n_m, s.total[0]) -
                                                  std::max<int64_t>(0, s.n_m - s.total[1]) + 1);
    set_enumerated_sex_af(r, p_from_sums(s.log_h_sample, walk_two_allele_splits(s)), splits);
    result = r;
    return ExactStatus::kOk;
  }
  const uint64_t splits = limit == 0 ? 1 : count_x_splits(s, limit);
  const bool splits_enumerable = limit > 0 && splits <= limit;
  const uint64_t count = splits_enumerable ? count_x_tables(s, limit) : limit + 1;
  if (splits_enumerable && count <= limit) {
    set_enumerated_x(r, p_from_sums(s.log_p_sample, enumerate_x_tables(s)));
    r.tables = count;
    set_enumerated_sex_af(r, p_from_sums(s.log_h_sample, enumerate_x_splits(s)), splits);
    result = r;
    return ExactStatus::kOk;
  }

  if (options.tables == 0) return ExactStatus::kNoTables;
  if (options.tables > kMaxExactTables) return ExactStatus::kTooManyTables;
  const XDraws draws = sample_x_tables(s, options.tables, options.tables_auto, options.seed,
                                       options.threads, options.stream_key);
  r.method = ExactMethod::kSampling;
  r.tables = draws.hits.tables;
  r.prob_hits = draws.hits.prob;
  r.stop = !options.tables_auto ? SamplingStop::kFixedCount
           : draws.reached      ? SamplingStop::kSequentialHits
                                : SamplingStop::kSequentialLimit;
  r.prob = sampled_p(r.prob_hits, r.tables, r.stop);
  r.prob_mid = std::numeric_limits<double>::quiet_NaN();
  r.log10_lead = std::log10(x_linked_leading_p(r));
  r.log10_mid = std::numeric_limits<double>::quiet_NaN();
  if (splits_enumerable) {
    set_enumerated_sex_af(r, p_from_sums(s.log_h_sample, enumerate_x_splits(s)), splits);
  } else {
    r.sex_af_method = ExactMethod::kSampling;
    r.sex_af_hits = draws.hits.sex;
    r.sex_af_tables = draws.hits.tables;
    r.sex_af = sampled_p(r.sex_af_hits, r.sex_af_tables, SamplingStop::kFixedCount);
  }
  result = r;
  return ExactStatus::kOk;
}
