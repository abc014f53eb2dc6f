#include "exact/sampler.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>

#include "exact/hypergeometric.h"
#include "exact/pairing_draw.h"
#include "exact/table_score.h"
#include "parallel/worker_pool.h"

namespace {

void count_table(const TableStats& s, const TableScorer& scorer, const int64_t* t,
                 double log_tie, SampleHits& hits) {
  const TableScore sc = score_table(s, scorer, t);
  const PerTest<bool> hit =
      extreme_tests(s, sc.log_prob_ratio <= log_tie, sc.x2, sc.g2, sc.h, sc.u_cmp);
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

namespace {

constexpr uint64_t kNoStop = ~uint64_t{0};

// What every chunk of one sample shares, prepared once.
struct SamplerSetup {
  const TableStats& s;
  TableScorer scorer;
  bool pairing;
  PairingPlan plan;
  double log_tie;
  uint64_t tables;
  uint64_t seed;
  uint64_t key;
};

SamplerSetup prepare_sampler(const TableStats& s, uint64_t tables, uint64_t seed, uint64_t key) {
  const bool pairing = prefer_pairing(s);
  return {s,
          prepare_table_scorer(s),
          pairing,
          pairing ? prepare_pairing(s) : PairingPlan{},
          std::log1p(kTieMargin),
          tables,
          seed,
          key};
}

struct DrawSpace {
  std::vector<int64_t> t;
  std::vector<int64_t> left;
  std::vector<int32_t> pair_work;
};

DrawSpace make_draw_space(const SamplerSetup& u) {
  return {std::vector<int64_t>(u.s.cell.size()), std::vector<int64_t>(u.s.k),
          std::vector<int32_t>(u.plan.copies.size())};
}

// Chunk c's tables in order from its start, counted into hits, up to the
// chunk's end or until hits holds stop_at hits of the probability test.
void draw_chunk(const SamplerSetup& u, uint64_t c, DrawSpace& w, SampleHits& hits,
                uint64_t stop_at) {
  Rng64 r = rng64_stream(u.seed, c, u.key);
  const uint64_t end = std::min(u.tables, (c + 1) * kSampleChunk);
  for (uint64_t n = c * kSampleChunk; n < end; ++n) {
    if (u.pairing) {
      draw_table_by_pairing(u.s, u.plan, r, w.t.data(), w.pair_work.data());
    } else {
      draw_table(u.s, r, w.t.data(), w.left.data());
    }
    count_table(u.s, u.scorer, w.t.data(), u.log_tie, hits);
    if (hits.hits[ExactTest::kProb] >= stop_at) return;
  }
}

unsigned resolve_threads(unsigned threads, uint64_t chunks) {
  threads = resolve_workers(threads);
  return static_cast<unsigned>(std::min<uint64_t>(threads, std::max<uint64_t>(chunks, 1)));
}

// Chunks first..end-1, whole, on up to `threads` threads: their hits added
// into `total`, or each chunk's kept in per_chunk[c - first] when given.
void draw_chunks(const SamplerSetup& u, uint64_t first, uint64_t end, unsigned threads,
                 std::vector<SampleHits>* per_chunk, SampleHits& total) {
  threads = resolve_threads(threads, end - first);
  std::atomic<uint64_t> next_chunk{first};
  std::vector<SampleHits> per_thread(threads);
  auto work = [&](unsigned id) {
    DrawSpace space = make_draw_space(u);
    SampleHits& hits = per_thread[id];
    for (;;) {
      const uint64_t c = next_chunk.fetch_add(1, std::memory_order_relaxed);
      if (c >= end) break;
      draw_chunk(u, c, space, per_chunk != nullptr ? (*per_chunk)[c - first] : hits, kNoStop);
    }
  };
  // Chunks are shared out: a worker that cannot start leaves them to the others.
  run_on_workers(threads, work);

  for (const SampleHits& h : per_thread) add_hits(total, h);
}

uint64_t chunks_for(uint64_t tables) { return (tables + kSampleChunk - 1) / kSampleChunk; }

}  // namespace

SampleHits sample_tables(const TableStats& s, uint64_t tables, uint64_t seed, unsigned threads,
                         uint64_t key) {
  const SamplerSetup setup = prepare_sampler(s, tables, seed, key);
  SampleHits total;
  draw_chunks(setup, 0, chunks_for(tables), threads, nullptr, total);
  return total;
}

SequentialHits sample_until_hits(const TableStats& s, uint64_t tables, uint64_t target,
                                 uint64_t seed, unsigned threads, uint64_t key) {
  const SamplerSetup setup = prepare_sampler(s, tables, seed, key);
  const uint64_t chunks = chunks_for(tables);
  threads = resolve_threads(threads, chunks);
  SequentialHits out;
  DrawSpace space = make_draw_space(setup);
  auto reached = [&] { return out.hits.hits[ExactTest::kProb] >= target; };
  // A p that is not small stops within the first chunk: drawn here, table
  // by table, without waking a thread.
  draw_chunk(setup, 0, space, out.hits, target);
  uint64_t next = 1;
  // Then waves of whole chunks side by side, growing while no stop is near;
  // the chunk holding the stop is drawn again up to it.
  uint64_t wave = threads;
  while (!reached() && next < chunks) {
    const uint64_t end = std::min(chunks, next + wave);
    std::vector<SampleHits> per_chunk(end - next);
    SampleHits unused;
    draw_chunks(setup, next, end, threads, &per_chunk, unused);
    for (uint64_t c = next; c < end; ++c) {
      const SampleHits& h = per_chunk[c - next];
      if (out.hits.hits[ExactTest::kProb] + h.hits[ExactTest::kProb] >= target) {
        draw_chunk(setup, c, space, out.hits, target);
        break;
      }
      add_hits(out.hits, h);
    }
    next = end;
    wave = std::min<uint64_t>(wave * 2, uint64_t{64} * threads);
  }
  out.reached = reached();
  return out;
}
