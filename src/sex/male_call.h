// How one male's call counts at an X site outside the pseudo-autosomal
// regions. A haploid call counts one copy of its allele; so does a diploid
// homozygous call, since some callers write hemizygous calls that way. A
// diploid heterozygous call is an error call: it counts as missing, and as
// a male heterozygote. A call with a missing allele (`.`, `./.`, `0/.`) or
// of another ploidy counts as missing.
#pragma once

#include <cstdint>

enum class MaleCallKind : uint8_t { kMissing, kOneCopy, kHeterozygous };

struct MaleCall {
  MaleCallKind kind = MaleCallKind::kMissing;
  int32_t allele = -1;  // kOneCopy: the copy's allele index
};

// ploidy: the call's number of alleles; first, second: allele indices, or
// a negative value for a missing allele (second ignored when haploid).
inline MaleCall count_male_x_call(int32_t ploidy, int32_t first, int32_t second) {
  if (ploidy == 1) return first >= 0 ? MaleCall{MaleCallKind::kOneCopy, first} : MaleCall{};
  if (ploidy != 2 || first < 0 || second < 0) return {};
  if (first != second) return {MaleCallKind::kHeterozygous, -1};
  return {MaleCallKind::kOneCopy, first};
}
