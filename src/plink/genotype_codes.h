// Counting a variant's 2-bit genotype codes (bed_file.h) per group of
// samples straight from its packed bytes.
//
// A group is a set of samples (a population, or the males of one). Groups
// are kept as masks over the variant's 64-bit words (32 samples each), only
// the words where the group has members, and a word's codes are counted with
// three popcounts; a group of every sample needs no mask at all. When the
// groups interleave so finely that their masks would cost more than looking
// at each sample once, samples are counted one at a time instead. Either way
// the bits after the last sample are never counted.
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
  size_t bytes = 0;   // a variant's: ceil(samples / 4)
  size_t groups = 0;
  std::vector<int32_t> members;  // per group
  bool whole = false;      // one group of every sample
  bool by_sample = false;  // counted one sample at a time
  // Masks: group g's are entries [first[g], first[g + 1]), each a word and
  // the low bit of each member's 2 bits in it.
  std::vector<uint32_t> first, word;
  std::vector<uint64_t> mask;
  std::vector<int32_t> group_of_sample;  // -1: in no group
};

// group_of_sample holds a group in [0, groups) or -1 for every sample.
SampleGroups make_sample_groups(const std::vector<int32_t>& group_of_sample, size_t groups);

// Counts one variant (groups.bytes bytes) into out[0, groups.groups).
void count_genotype_codes(const uint8_t* variant, const SampleGroups& groups, CodeCounts* out);
