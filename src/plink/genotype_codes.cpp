#include "plink/genotype_codes.h"

#include <algorithm>
#include <cstring>

// The vector and popcount builds are made for x86-64 and chosen at run time;
// elsewhere the plain loops are the only build.
#if defined(__x86_64__)
#define HWMC_X86_BUILDS 1
#include <immintrin.h>
#else
#define HWMC_X86_BUILDS 0
#endif

namespace {

constexpr uint64_t kLowBits = 0x5555555555555555ULL;

// A span costs some 11 operations a word and group with popcounts, about a
// quarter of that with AVX2; a sample at a time, some 6 per sample, 200 a
// word: beyond this many group words per word of the variant, samples win
// (26 interleaved populations of 20 000 samples: 0.17 s by spans with AVX2,
// 0.46 s a sample at a time).
constexpr size_t kSpanWordsPerWord = 16;
constexpr size_t kSpanWordsPerWordAvx2 = 64;

struct Tally {
  int64_t a2 = 0, het = 0, missing = 0;  // codes 11, 10 and 01
};

void store_tally(const Tally& t, int32_t members, CodeCounts& c) {
  c.code[kBedHomA2] = static_cast<int32_t>(t.a2);
  c.code[kBedHet] = static_cast<int32_t>(t.het);
  c.code[kBedMissing] = static_cast<int32_t>(t.missing);
  c.code[kBedHomA1] = members - static_cast<int32_t>(t.a2 + t.het + t.missing);
}

// A word's codes, the samples outside the mask read as 00 (counted by
// neither). Inlined into each build of the loops, so that its popcounts are
// the instruction where the build has it.
[[gnu::always_inline]] inline void count_word(uint64_t w, Tally& t) {
  const uint64_t lo = w & kLowBits;
  const uint64_t hi = (w >> 1) & kLowBits;
  t.a2 += __builtin_popcountll(lo & hi);
  t.het += __builtin_popcountll(hi & ~lo);
  t.missing += __builtin_popcountll(lo & ~hi);
}

inline uint64_t load_word(const uint8_t* variant, size_t word) {
  uint64_t w;
  std::memcpy(&w, variant + 8 * word, 8);
  return w;
}

// The last word, of which only `bytes` bytes are the variant's.
inline uint64_t load_last_word(const uint8_t* variant, size_t bytes) {
  const size_t word = (bytes - 1) / 8;
  uint64_t w = 0;
  std::memcpy(&w, variant + 8 * word, bytes - 8 * word);
  return w;
}

// Words [begin, end) of the variant, none of them its partly filled last
// word; masks for each, or none.
#if HWMC_X86_BUILDS
__attribute__((target_clones("popcnt", "default")))
#endif
void count_words(const uint8_t* variant, size_t begin, size_t end, const uint64_t* masks, Tally& t) {
  if (masks == nullptr) {
    for (size_t w = begin; w < end; ++w) count_word(load_word(variant, w), t);
  } else {
    for (size_t w = begin; w < end; ++w) count_word(load_word(variant, w) & masks[w - begin], t);
  }
}

using WordCounter = void (*)(const uint8_t*, size_t, size_t, const uint64_t*, Tally&);

#if HWMC_X86_BUILDS
// The same 32 bytes at a time: per byte, the codes of each of its two
// nibbles from a table of 16, summed in bytes for up to 63 steps (4 a step
// at most) and then into 64-bit sums.
__attribute__((target("avx2"))) void count_words_avx2(const uint8_t* variant, size_t begin,
                                                      size_t end, const uint64_t* masks, Tally& t) {
  // The codes 11, 10 and 01 among the two of a nibble.
  const __m256i a2_of = _mm256_setr_epi8(0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 1, 2, 0, 0, 0, 1,
                                         0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 1, 2);
  const __m256i het_of = _mm256_setr_epi8(0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 2, 1, 0, 0, 1, 0, 0, 0, 1,
                                          0, 0, 0, 1, 0, 1, 1, 2, 1, 0, 0, 1, 0);
  const __m256i missing_of = _mm256_setr_epi8(0, 1, 0, 0, 1, 2, 1, 1, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1,
                                              0, 0, 1, 2, 1, 1, 0, 1, 0, 0, 0, 1, 0, 0);
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i zero = _mm256_setzero_si256();
  __m256i a2_sum = zero, het_sum = zero, missing_sum = zero;
  size_t w = begin;
  while (w + 4 <= end) {
    const size_t steps = std::min<size_t>((end - w) / 4, 63);
    __m256i a2 = zero, het = zero, missing = zero;
    for (size_t s = 0; s < steps; ++s, w += 4) {
      __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(variant + 8 * w));
      if (masks != nullptr)
        x = _mm256_and_si256(
            x, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(masks + (w - begin))));
      const __m256i lo = _mm256_and_si256(x, nibble);
      const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(x, 4), nibble);
      a2 = _mm256_add_epi8(
          a2, _mm256_add_epi8(_mm256_shuffle_epi8(a2_of, lo), _mm256_shuffle_epi8(a2_of, hi)));
      het = _mm256_add_epi8(
          het, _mm256_add_epi8(_mm256_shuffle_epi8(het_of, lo), _mm256_shuffle_epi8(het_of, hi)));
      missing = _mm256_add_epi8(missing, _mm256_add_epi8(_mm256_shuffle_epi8(missing_of, lo),
                                                         _mm256_shuffle_epi8(missing_of, hi)));
    }
    a2_sum = _mm256_add_epi64(a2_sum, _mm256_sad_epu8(a2, zero));
    het_sum = _mm256_add_epi64(het_sum, _mm256_sad_epu8(het, zero));
    missing_sum = _mm256_add_epi64(missing_sum, _mm256_sad_epu8(missing, zero));
  }
  alignas(32) int64_t lanes[3][4];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[0]), a2_sum);
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[1]), het_sum);
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes[2]), missing_sum);
  t.a2 += lanes[0][0] + lanes[0][1] + lanes[0][2] + lanes[0][3];
  t.het += lanes[1][0] + lanes[1][1] + lanes[1][2] + lanes[1][3];
  t.missing += lanes[2][0] + lanes[2][1] + lanes[2][2] + lanes[2][3];
  count_words(variant, w, end, masks ? masks + (w - begin) : nullptr, t);
}

WordCounter choose_word_counter() {
  // Called while the program's statics are made, perhaps before the
  // processor's features have been read.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? count_words_avx2 : count_words;
}
#else
WordCounter choose_word_counter() { return count_words; }
#endif

WordCounter count_words_best = choose_word_counter();

// The words [begin, end) of a variant of `bytes` bytes, masked or not.
Tally count_span(const uint8_t* variant, size_t bytes, size_t begin, size_t end,
                 const uint64_t* masks, uint64_t last_mask) {
  Tally t;
  const size_t words = (bytes + 7) / 8;
  const bool partial = end == words && bytes % 8 != 0;
  count_words_best(variant, begin, partial ? end - 1 : end, masks, t);
  if (partial) {
    const uint64_t mask = masks ? masks[end - 1 - begin] : last_mask;
    count_word(load_last_word(variant, bytes) & mask, t);
  }
  return t;
}

void count_by_spans(const uint8_t* variant, const SampleGroups& g, CodeCounts* out) {
  const size_t words = (g.bytes + 7) / 8;
  if (g.whole) {
    Tally t;
    count_words_best(variant, 0, words - 1, nullptr, t);
    // The last word is masked: it may hold padding.
    count_word(load_last_word(variant, g.bytes) & g.last_mask, t);
    store_tally(t, g.members[0], out[0]);
    return;
  }
  for (size_t p = 0; p < g.groups; ++p) {
    const Tally t =
        count_span(variant, g.bytes, g.begin[p], g.end[p], g.mask.data() + g.offset[p], 0);
    store_tally(t, g.members[p], out[p]);
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
  g.whole = groups == 1 && g.samples > 0 && g.members[0] == static_cast<int32_t>(g.samples);
  if (g.whole) {
    for (size_t j = (words - 1) * 32; j < g.samples; ++j)
      g.last_mask |= uint64_t{3} << (2 * (j % 32));
    return g;
  }
  // Each group's span: its first member's word to its last's.
  g.begin.assign(groups, 0);
  g.end.assign(groups, 0);
  for (size_t j = 0; j < g.samples; ++j) {
    if (group_of_sample[j] < 0) continue;
    const size_t p = static_cast<size_t>(group_of_sample[j]);
    const uint32_t w = static_cast<uint32_t>(j / 32);
    if (g.end[p] == 0) g.begin[p] = w;
    g.end[p] = w + 1;
  }
  size_t spanned = 0;
  g.offset.assign(groups, 0);
  for (size_t p = 0; p < groups; ++p) {
    g.offset[p] = spanned;
    spanned += g.end[p] - g.begin[p];
  }
  const size_t limit = count_words_best == count_words ? kSpanWordsPerWord : kSpanWordsPerWordAvx2;
  if (spanned > limit * std::max<size_t>(words, 1)) {
    g.by_sample = true;
    g.group_of_sample = group_of_sample;
    return g;
  }
  g.mask.assign(spanned, 0);
  for (size_t j = 0; j < g.samples; ++j) {
    if (group_of_sample[j] < 0) continue;
    const size_t p = static_cast<size_t>(group_of_sample[j]);
    g.mask[g.offset[p] + j / 32 - g.begin[p]] |= uint64_t{3} << (2 * (j % 32));
  }
  return g;
}

void count_genotype_codes(const uint8_t* variant, const SampleGroups& g, CodeCounts* out) {
  if (g.bytes == 0) {
    for (size_t p = 0; p < g.groups; ++p) out[p] = CodeCounts{};
  } else if (g.by_sample) {
    count_by_sample(variant, g, out);
  } else {
    count_by_spans(variant, g, out);
  }
}

void use_portable_code_counting(bool on) {
  count_words_best = on ? count_words : choose_word_counter();
}
