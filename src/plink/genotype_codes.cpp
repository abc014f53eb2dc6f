#include "plink/genotype_codes.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint64_t kLowBits = 0x5555555555555555ULL;

// Masks cost three popcounts a word each; a sample at a time, about a third
// of that per sample: beyond this many masks per word, samples win.
constexpr size_t kMasksPerWord = 8;

inline uint64_t load_word(const uint8_t* variant, size_t bytes, size_t word) {
  uint64_t w = 0;
  const size_t at = word * 8;
  std::memcpy(&w, variant + at, std::min<size_t>(8, bytes - at));
  return w;
}

struct Tally {
  int64_t a2 = 0, het = 0, missing = 0;  // codes 11, 10 and 01
};

// Inlined into each build of the loops below, so that its popcounts are the
// instruction where the build has it.
[[gnu::always_inline]] inline void count_word(uint64_t w, uint64_t mask, Tally& t) {
  const uint64_t lo = w & mask;
  const uint64_t hi = (w >> 1) & mask;
  t.a2 += __builtin_popcountll(lo & hi);
  t.het += __builtin_popcountll(hi & ~lo);
  t.missing += __builtin_popcountll(lo & ~hi);
}

[[gnu::always_inline]] inline void store_tally(const Tally& t, int32_t members, CodeCounts& c) {
  c.code[kBedHomA2] = static_cast<int32_t>(t.a2);
  c.code[kBedHet] = static_cast<int32_t>(t.het);
  c.code[kBedMissing] = static_cast<int32_t>(t.missing);
  c.code[kBedHomA1] = members - static_cast<int32_t>(t.a2 + t.het + t.missing);
}

// One build of the mask loops with the popcount instruction and one without,
// chosen when the program starts.
__attribute__((target_clones("popcnt", "default")))
void count_by_masks(const uint8_t* variant, const SampleGroups& g, CodeCounts* out) {
  const size_t bytes = g.bytes;
  const size_t words = (bytes + 7) / 8;
  if (bytes == 0) {
    for (size_t group = 0; group < g.groups; ++group) out[group] = CodeCounts{};
    return;
  }
  if (g.whole) {
    Tally t;
    for (size_t i = 0; i + 1 < words; ++i) {
      uint64_t w;
      std::memcpy(&w, variant + 8 * i, 8);
      count_word(w, kLowBits, t);
    }
    // The last word is masked: it may hold padding.
    count_word(load_word(variant, bytes, words - 1), g.mask.back(), t);
    store_tally(t, g.members[0], out[0]);
    return;
  }
  const uint32_t last_word = static_cast<uint32_t>(words - 1);
  for (size_t group = 0; group < g.groups; ++group) {
    Tally t;
    uint32_t e = g.first[group];
    uint32_t end = g.first[group + 1];
    // Only a group's last mask can be on the last, partly filled, word.
    const bool tail = end > e && g.word[end - 1] == last_word && bytes % 8 != 0;
    if (tail) --end;
    for (; e < end; ++e) {
      uint64_t w;
      std::memcpy(&w, variant + 8 * static_cast<size_t>(g.word[e]), 8);
      count_word(w, g.mask[e], t);
    }
    if (tail) count_word(load_word(variant, bytes, last_word), g.mask[end], t);
    store_tally(t, g.members[group], out[group]);
  }
}

// Four copies of the counters taken in turn, so that no increment waits for
// the one before it to the same counter.
void count_by_sample(const uint8_t* variant, const SampleGroups& g, CodeCounts* out) {
  constexpr size_t kCopies = 4;
  thread_local std::vector<int32_t> copies;
  const size_t cells = 4 * g.groups;
  copies.assign(kCopies * cells, 0);
  const int32_t* group = g.group_of_sample.data();
  for (size_t j = 0; j < g.samples; ++j) {
    if (group[j] < 0) continue;
    const unsigned code = (variant[j >> 2] >> (2 * (j & 3))) & 3u;
    ++copies[(j % kCopies) * cells + 4 * static_cast<size_t>(group[j]) + code];
  }
  for (size_t p = 0; p < g.groups; ++p)
    for (size_t code = 0; code < 4; ++code) {
      int32_t sum = 0;
      for (size_t c = 0; c < kCopies; ++c) sum += copies[c * cells + 4 * p + code];
      out[p].code[code] = sum;
    }
}

}  // namespace

SampleGroups make_sample_groups(const std::vector<int32_t>& group_of_sample, size_t groups) {
  SampleGroups g;
  g.samples = group_of_sample.size();
  g.bytes = (g.samples + 3) / 4;
  g.groups = groups;
  g.members.assign(groups, 0);
  for (int32_t p : group_of_sample)
    if (p >= 0) ++g.members[static_cast<size_t>(p)];
  const size_t words = (g.bytes + 7) / 8;
  g.whole = groups == 1 && g.members[0] == static_cast<int32_t>(g.samples);
  if (g.whole && words > 0) {
    // The last word's mask, the one the whole group needs.
    uint64_t last = 0;
    for (size_t j = (words - 1) * 32; j < g.samples; ++j) last |= uint64_t{1} << (2 * (j % 32));
    g.mask.push_back(last);
    return g;
  }
  // Per group, the words it has members in, in order.
  std::vector<uint64_t> masks(groups * words, 0);
  for (size_t j = 0; j < g.samples; ++j)
    if (group_of_sample[j] >= 0)
      masks[static_cast<size_t>(group_of_sample[j]) * words + j / 32] |= uint64_t{1} << (2 * (j % 32));
  size_t entries = 0;
  for (uint64_t m : masks) entries += m != 0;
  if (entries > kMasksPerWord * std::max<size_t>(words, 1)) {
    g.by_sample = true;
    g.group_of_sample = group_of_sample;
    return g;
  }
  g.first.reserve(groups + 1);
  g.word.reserve(entries);
  g.mask.reserve(entries);
  for (size_t p = 0; p < groups; ++p) {
    g.first.push_back(static_cast<uint32_t>(g.word.size()));
    for (size_t w = 0; w < words; ++w) {
      const uint64_t m = masks[p * words + w];
      if (m == 0) continue;
      g.word.push_back(static_cast<uint32_t>(w));
      g.mask.push_back(m);
    }
  }
  g.first.push_back(static_cast<uint32_t>(g.word.size()));
  return g;
}

void count_genotype_codes(const uint8_t* variant, const SampleGroups& g, CodeCounts* out) {
  if (g.by_sample) count_by_sample(variant, g, out);
  else count_by_masks(variant, g, out);
}
