#include "exact/sampler.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <system_error>
#include <thread>
#include <vector>

#include "exact/hypergeometric.h"
#include "exact/pairing_draw.h"
#include "exact/table_score.h"

namespace {

void count_table(const TableStats& s, const TableScorer& scorer, const int64_t* t,
                 double log_tie, SampleHits& hits) {
  const TableScore sc = score_table(s, scorer, t);
  const PerTest<bool> hit = extreme_tests(s, sc.log_prob_ratio <= log_tie, sc.x2, sc.g2, sc.h);
  ++hits.tables;
  for (ExactTest test : kExactTests) hits.hits[test] += hit[test] ? 1 : 0;
}

void add_hits(SampleHits& to, const SampleHits& from) {
  to.tables += from.tables;
  for (ExactTest test : kExactTests) to.hits[test] += from.hits[test];
}

}  // namespace

void draw_table(const TableStats& s, Rng64& r, int64_t* t, int64_t* left) {
  const int32_t k = s.k;
  const LogFactorials& lf = *s.log_factorials;
  std::copy(s.allele.begin(), s.allele.end(), left);
  int64_t copies = s.two_n;
  for (int32_t i = 0; i + 1 < k; ++i) {
    const int64_t a = left[i];
    const int64_t others = copies - a;
    const int64_t x = draw_two_allele_homozygotes(lf, r, a, others);
    t[tri_index(i, i, k)] = x;
    // The allele's heterozygous partners among the copies of later alleles.
    int64_t partners = a - 2 * x;
    int64_t pool = others;
    copies = others - partners;
    for (int32_t j = i + 1; j + 1 < k; ++j) {
      const int64_t d = draw_hypergeometric(lf, r, partners, left[j], pool);
      t[tri_index(i, j, k)] = d;
      pool -= left[j];
      left[j] -= d;
      partners -= d;
    }
    t[tri_index(i, k - 1, k)] = partners;
    left[k - 1] -= partners;
  }
  t[tri_index(k - 1, k - 1, k)] = left[k - 1] / 2;
}

SampleHits sample_tables(const TableStats& s, uint64_t tables, uint64_t seed, unsigned threads) {
  const uint64_t chunks = (tables + kSampleChunk - 1) / kSampleChunk;
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  threads = static_cast<unsigned>(std::min<uint64_t>(threads, std::max<uint64_t>(chunks, 1)));
  const double log_tie = std::log1p(kTieMargin);
  const TableScorer scorer = prepare_table_scorer(s);
  const bool pairing = prefer_pairing(s);
  const PairingPlan plan = pairing ? prepare_pairing(s) : PairingPlan{};

  std::atomic<uint64_t> next_chunk{0};
  std::vector<SampleHits> per_thread(threads);
  auto work = [&](unsigned id) {
    std::vector<int64_t> t(s.cell.size());
    std::vector<int64_t> left(s.k);
    std::vector<int32_t> pair_work(plan.copies.size());
    SampleHits& hits = per_thread[id];
    for (;;) {
      const uint64_t c = next_chunk.fetch_add(1, std::memory_order_relaxed);
      if (c >= chunks) break;
      Rng64 r = rng64_stream(seed, c);
      const uint64_t end = std::min(tables, (c + 1) * kSampleChunk);
      for (uint64_t n = c * kSampleChunk; n < end; ++n) {
        if (pairing) {
          draw_table_by_pairing(s, plan, r, t.data(), pair_work.data());
        } else {
          draw_table(s, r, t.data(), left.data());
        }
        count_table(s, scorer, t.data(), log_tie, hits);
      }
    }
  };
  std::vector<std::thread> pool;
  for (unsigned id = 1; id < threads; ++id) {
    // Without another thread the chunks are simply drawn by fewer.
    try {
      pool.emplace_back(work, id);
    } catch (const std::system_error&) {
      break;
    }
  }
  work(0);
  for (std::thread& th : pool) th.join();

  SampleHits total;
  for (const SampleHits& h : per_thread) add_hits(total, h);
  return total;
}
