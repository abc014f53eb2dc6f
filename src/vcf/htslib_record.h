// A record htslib has decoded (BCF, or VCF text through its full parser)
// turned into the same site text and calls as the GT scan gives
// (gt_calls.h): missing and non-diploid calls are kNoCall, haploid calls end
// in bcf_int32_vector_end, a record without GT has none.
#pragma once

#include <cstdint>
#include <string>

#include "vcf/gt_calls.h"
#include "vcf/hts_handles.h"
#include "vcf/site_tally.h"

// A buffer htslib reallocates (bcf_get_genotypes keeps it from record to
// record).
struct HtsIntBuffer {
  int32_t* data = nullptr;
  int size = 0;
  HtsIntBuffer() = default;
  HtsIntBuffer(const HtsIntBuffer&) = delete;
  HtsIntBuffer& operator=(const HtsIntBuffer&) = delete;
  ~HtsIntBuffer() { std::free(data); }
};

// calls: 2 per sample of the header. The views in s point into rec and
// alt_text. With `packed`, a diploid GT stored in 8 bits per allele is not
// decoded: *packed points to its values (count_packed_gt, site_tally.h) and
// calls and largest are left alone; otherwise *packed is null.
RecordFault decode_htslib_record(bcf_hdr_t* hdr, bcf1_t* rec, HtsIntBuffer& gt,
                                 std::string& alt_text, int32_t* calls, SiteText& s,
                                 LargestAllele& largest, const uint8_t** packed = nullptr);

// The calls of a record decode_htslib_record has read, written again with
// each haploid call as its allele and kHaploidCall (gt_calls.h), for the
// sites counted by sex.
void decode_sex_linked_calls(bcf_hdr_t* hdr, bcf1_t* rec, HtsIntBuffer& gt, int32_t* calls);
