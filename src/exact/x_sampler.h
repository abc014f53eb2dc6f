// Draws of an X-linked sample's tables from their null law: the male split
// from its multivariate hypergeometric law (one hypergeometric per allele
// against the copies of the later ones), then the female table from the
// direct sampler given the female copies left (sampler.h). Each draw counts
// for p_x_prob when its table is no more probable than the sample's and for
// p_sex_af when its split is no more probable than the sample's, both
// within the tie margin. The chunks and streams are those of
// chunked_draws.h, under a key of the X tests' own so that they share no
// stream with the other tests of the same unit.
#pragma once

#include <cstdint>

#include "exact/x_linked_stats.h"

struct XDrawHits {
  uint64_t tables = 0;
  uint64_t prob = 0;  // p_x_prob
  uint64_t sex = 0;   // p_sex_af

  XDrawHits& operator+=(const XDrawHits& o) {
    tables += o.tables;
    prob += o.prob;
    sex += o.sex;
    return *this;
  }
};

// `tables` draws (1..kMaxExactTables) on `threads` threads (0: one per
// core); with until_hits, in stream order up to the kSequentialHits-th hit
// of p_x_prob, `reached` saying whether it came.
struct XDraws {
  XDrawHits hits;
  bool reached = false;
};

XDraws sample_x_tables(const XStats& s, uint64_t tables, bool until_hits, uint64_t seed,
                       unsigned threads, uint64_t key);
