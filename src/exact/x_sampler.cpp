#include "exact/x_sampler.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "exact/chunked_draws.h"
#include "exact/exact_tests.h"
#include "exact/hypergeometric.h"
#include "exact/rng64.h"
#include "exact/table_stats.h"

namespace {

struct XSpace {
  TableStats female;  // the direct sampler's view of the female copies
  std::vector<int64_t> m;
  std::vector<int64_t> t;
  std::vector<int64_t> work;
};

XSpace make_space(const XStats& s) {
  XSpace w;
  w.female.k = s.k;
  w.female.two_n = 2 * s.n_f;
  w.female.allele.resize(s.k);
  w.female.log_factorials = s.lf;
  w.m.resize(s.k);
  w.t.resize(s.female.size());
  w.work.resize(s.k);
  return w;
}

// One table into w.m and w.t.
void draw_x_table(const XStats& s, Rng64& r, XSpace& w) {
  int64_t left = s.n_m;
  int64_t pool = s.n_t;
  for (int32_t i = 0; i + 1 < s.k; ++i) {
    w.m[i] = draw_hypergeometric(*s.lf, r, left, s.total[i], pool);
    left -= w.m[i];
    pool -= s.total[i];
  }
  w.m[s.k - 1] = left;
  for (int32_t i = 0; i < s.k; ++i) w.female.allele[i] = s.total[i] - w.m[i];
  draw_table(w.female, r, w.t.data(), w.work.data());
}

void score_x_table(const XStats& s, const XSpace& w, double log_tie, XDrawHits& hits) {
  const LogFactorials& lf = *s.lf;
  double male = 0;
  double split = 0;
  for (int32_t i = 0; i < s.k; ++i) {
    male += log_factorial_diff(lf, s.male[i], w.m[i]);
    split += log_factorial_diff(lf, s.female_copies[i], w.female.allele[i]);
  }
  double female = 0;
  int64_t h = 0;
  for (int32_t i = 0; i < s.k; ++i) {
    for (int32_t j = i; j < s.k; ++j) {
      const int32_t c = tri_index(i, j, s.k);
      female += log_factorial_diff(lf, s.female[c], w.t[c]);
      if (i != j) h += w.t[c];
    }
  }
  female += static_cast<double>(h - s.h_f) * static_cast<double>(kLn2L);
  ++hits.tables;
  if (male + female <= log_tie) ++hits.prob;
  if (male + split <= log_tie) ++hits.sex;
}

// The X tests' streams under a unit's key.
uint64_t x_stream_key(uint64_t key) {
  uint64_t x = key ^ 0x58C1D2E3F4A5B697ull;
  return splitmix64_next(x);
}

}  // namespace

XDraws sample_x_tables(const XStats& s, uint64_t tables, bool until_hits, uint64_t seed,
                       unsigned threads, uint64_t key) {
  const double log_tie = std::log1p(kTieMargin);
  const uint64_t stream_key = x_stream_key(key);
  auto space = [&] { return make_space(s); };
  auto draw = [&](uint64_t c, XSpace& w, XDrawHits& hits, uint64_t stop_at) {
    Rng64 r = rng64_stream(seed, c, stream_key);
    const uint64_t end = std::min(tables, (c + 1) * kSampleChunk);
    for (uint64_t n = c * kSampleChunk; n < end; ++n) {
      draw_x_table(s, r, w);
      score_x_table(s, w, log_tie, hits);
      if (hits.prob >= stop_at) return;
    }
  };
  XDraws out;
  if (until_hits) {
    auto leading = [](const XDrawHits& h) { return h.prob; };
    out.reached =
        draw_chunks_until(tables, kSequentialHits, threads, space, draw, leading, out.hits);
  } else {
    out.hits = draw_all_chunks<XDrawHits>(tables, threads, space, draw);
  }
  return out;
}
