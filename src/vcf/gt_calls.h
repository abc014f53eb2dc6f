// The genotype calls of one record, as both decoders (the GT scan of VCF
// text and htslib's records) hand them over: two allele indices per sample,
// both kNoCall unless the call is diploid with both alleles known. Phase is
// dropped. max_allele is the largest allele index named by any call of any
// ploidy (-1 when none), checked against the site's allele count; its sample
// is the first that names it.
#pragma once

#include <cstdint>
#include <string>

inline constexpr int32_t kNoCall = -1;

// Where a decoder writes haploid calls too (the sites counted by sex), a
// haploid call is its allele and then kHaploidCall.
inline constexpr int32_t kHaploidCall = -2;

struct LargestAllele {
  int32_t allele = -1;
  int32_t sample = -1;
};

inline void note_allele(LargestAllele& m, int32_t allele, int32_t sample) {
  if (allele > m.allele) m = {allele, sample};
}

// What is wrong with a record, worded once for both decoders.
enum class RecordProblem {
  kNone,
  kEmptyLine,         // htslib takes it for a record and rejects it
  kNoRef,             // no REF column
  kNoSampleColumns,   // a FORMAT column but no sample column
  kMissingSamples,    // fewer sample columns than the header's samples
  kGtNotNumber,       // a GT allele that is neither a number nor '.'
  kGtTooLarge,        // a GT allele index beyond htslib's limit
  kGtBadCharacter,    // a character after the GT that is not ':' or a tab
  kTooManyValues,     // more values in a sample than FORMAT keys
  kBadPosition,       // POS not a positive number
  kAlleleBeyondAlt,   // a GT allele index >= the number of REF + ALT alleles
  kUnreadable,        // htslib's parser rejected the record
  kNoChrom,           // a BCF record whose contig is not in the header
};

struct RecordFault {
  RecordProblem problem = RecordProblem::kNone;
  int32_t sample = -1;   // 0-based column of the sample at fault, or -1
  int64_t value = 0;     // the allele index or the column count concerned
  char character = 0;    // kGtBadCharacter
};

// The reason of a fault, naming the sample by its ID (escaped).
std::string record_fault_text(const RecordFault& fault, const std::string& sample_id,
                              int32_t n_allele, int32_t samples);
