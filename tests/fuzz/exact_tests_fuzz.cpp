// Small random genotype tables through the exact tests: counted, enumerated
// (and compared with the exact-fraction reference), and sampled. Every p
// lies in [0, 1] between its limits, and the sampled p agree with the
// enumerated ones within a wide binomial interval; drawn until the 20th hit,
// the stop is where a fixed count finds it. A broken invariant
// traps, so the fuzzer keeps the input as a crash.
//
// Input: byte 0 chooses k (2 to 5), byte 1 the seed, bytes 2.. the cells of
// the triangle row by row (0 to 3 each, missing bytes 0).
#include <boost/math/special_functions/beta.hpp>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "exact/exact_reference.h"  // tests/exact
#include "exact/exact_tests.h"

namespace {

void require(bool condition) {
  if (!condition) __builtin_trap();
}

void require_probabilities(const ExactResult& r) {
  for (ExactTest test : kExactTests) {
    const ExactP& p = r.test[test];
    require(std::isfinite(p.p) && std::isfinite(p.low) && std::isfinite(p.high));
    require(0.0 <= p.low && p.low <= p.p && p.p <= p.high && p.high <= 1.0);
  }
}

// Hits of `tables` draws against an exact p: outside this interval once in
// 10^10 inputs (Clopper-Pearson at that level).
bool within_wide_interval(double exact_p, double sampled_p, uint64_t tables) {
  const double m = static_cast<double>(tables);
  const double x = std::round(sampled_p * m);
  const double low = x > 0 ? boost::math::ibeta_inv(x, m - x + 1.0, 5e-11) : 0.0;
  const double high = x < m ? boost::math::ibeta_inv(x + 1.0, m - x, 1.0 - 5e-11) : 1.0;
  return low - 1e-12 <= exact_p && exact_p <= high + 1e-12;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int32_t k = 2 + data[0] % 4;
  const uint64_t seed = data[1];
  const size_t cells = static_cast<size_t>(k) * (k + 1) / 2;
  ExactSample sample{k, std::vector<int64_t>(cells, 0)};
  for (size_t c = 0; c < cells && 2 + c < size; ++c) sample.counts[c] = data[2 + c] % 4;
  const std::vector<int64_t> copies = exact_reference::allele_copies(k, sample.counts);
  int64_t two_n = 0;
  for (int64_t n : copies) {
    if (n == 0) {
      ExactResult untouched;
      require(run_exact_tests(sample, ExactOptions{}, untouched) == ExactStatus::kEmptyClass);
      return 0;
    }
    two_n += n;
  }

  ExactOptions o;
  o.max_tables = 20000;
  o.threads = 1;
  o.seed = seed;
  ExactResult enumerated;
  require(run_exact_tests(sample, o, enumerated) == ExactStatus::kOk);
  require_probabilities(enumerated);
  const bool complete = enumerated.method == ExactMethod::kEnumeration;
  if (complete) {
    for (ExactTest test : kExactTests) {
      const ExactP& p = enumerated.test[test];
      require(p.low == p.p && p.high == p.p);
    }
    // The weights of the reference are exact integers up to N = 30; its
    // walk is slow, so only for a few thousand tables.
    if (two_n <= 60 && enumerated.tables <= 3000) {
      const exact_reference::Reference ref = exact_reference::reference_p(k, sample.counts);
      require(enumerated.tables == ref.tables);
      const double want[kExactTestCount] = {ref.prob,   ref.x2e,       ref.llr,     ref.deficit,
                                            ref.excess, ref.u_deficit, ref.u_excess};
      for (ExactTest test : kExactTests) {
        require(std::fabs(enumerated.test[test].p - want[static_cast<size_t>(test)]) <= 1e-9);
      }
    }
  } else {
    require(enumerated.method == ExactMethod::kSampling);
  }

  o.max_tables = 0;
  o.tables = 1000;
  ExactResult drawn;
  require(run_exact_tests(sample, o, drawn) == ExactStatus::kOk);
  require(drawn.method == ExactMethod::kSampling && drawn.tables == o.tables);
  require_probabilities(drawn);
  if (complete) {
    for (ExactTest test : kExactTests) {
      require(within_wide_interval(enumerated.test[test].p, drawn.test[test].p, drawn.tables));
    }
  }
  const double valid = exact_leading_p(drawn);
  require(valid > 0.0 && valid <= 1.0);

  // Sequential stopping: the stop is the draw of the 20th hit of p_prob, or
  // the limit; a fixed count of that many draws gives the very same hits.
  o.tables_auto = true;
  ExactResult seq;
  require(run_exact_tests(sample, o, seq) == ExactStatus::kOk);
  require_probabilities(seq);
  require(seq.tables >= 1 && seq.tables <= o.tables);
  if (seq.stop == SamplingStop::kSequentialHits) {
    require(seq.hits[ExactTest::kProb] == kSequentialHits);
    require(exact_leading_p(seq) == seq.test[ExactTest::kProb].p);
  } else {
    require(seq.stop == SamplingStop::kSequentialLimit && seq.tables == o.tables);
    require(seq.hits[ExactTest::kProb] < kSequentialHits);
  }
  o.tables_auto = false;
  o.tables = seq.tables;
  ExactResult same;
  require(run_exact_tests(sample, o, same) == ExactStatus::kOk);
  require(same.hits.value == seq.hits.value);
  return 0;
}
