// Counting a variant's 2-bit genotype codes (bed_file.h) per group of
// samples straight from its packed bytes.
//
// A group is a set of samples (a population, or the males of one). A group
// of every sample is counted without masks; any other group over the span of
// 64-bit words (32 samples each) from its first member to its last, each
// word ANDed with the group's mask. Codes are counted 32 bytes at a time
// with nibble tables where the processor has AVX2, a word at a time with
// three popcounts elsewhere. When the groups interleave so finely that their
// spans would cost more than looking at each sample once (for dozens of
// groups), samples are counted one at a time instead. Either way the bits after the last sample
// are never counted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// By code: 00 homozygous A1, 01 missing, 10 heterozygous, 11 homozygous A2.
enum BedCode : uint8_t { kBedHomA1 = 0, kBedMissing = 1, kBedHet = 2, kBedHomA2 = 3 };

struct CodeCounts {
  int32_t code[4] = {0, 0, 0, 0};
  int32_t called() const { return code[kBedHomA1] + code[kBedHet] + code[kBedHomA2]; }
};

struct SampleGroups {
  size_t samples = 0;
  size_t bytes = 0;  // a variant's: ceil(samples / 4)
  size_t groups = 0;
  std::vector<int32_t> members;  // per group
  bool whole = false;            // one group of every sample
  bool by_sample = false;        // counted one sample at a time
  // Group g spans words [begin[g], end[g]), their masks (both bits of each
  // member's code set) from mask[offset[g]].
  std::vector<uint32_t> begin, end;
  std::vector<size_t> offset;
  std::vector<uint64_t> mask;
  uint64_t last_mask = 0;                // the samples of the last word, for a whole group
  std::vector<int32_t> group_of_sample;  // by sample; -1: in no group
};

// group_of_sample holds a group in [0, groups) or -1 for every sample.
SampleGroups make_sample_groups(const std::vector<int32_t>& group_of_sample, size_t groups);

// Counts one variant (groups.bytes bytes) into out[0, groups.groups).
void count_genotype_codes(const uint8_t* variant, const SampleGroups& groups, CodeCounts* out);

// From now on counts a word at a time even where the processor has AVX2 (on:
// false goes back), so that both ways can be checked and timed on one
// machine.
void use_portable_code_counting(bool on);
