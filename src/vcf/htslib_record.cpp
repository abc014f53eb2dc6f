#include "vcf/htslib_record.h"

#include <algorithm>
#include <cstring>

namespace {

// Two values per sample of type T, as BCF stores GT: (allele + 1) << 1 |
// phased, 0 for '.', and the type's missing and vector-end values. Without
// branches on the alleles: (value >> 1) - 1 is the allele when it is at
// least 0, and negative for '.', missing and the end of a haploid call.
template <class T>
void decode_diploid(const uint8_t* p, int samples, int32_t* calls, LargestAllele& result) {
  LargestAllele largest = result;  // a local: the stores into calls cannot touch it
  for (int j = 0; j < samples; ++j) {
    T v[2];
    std::memcpy(v, p + 2 * sizeof(T) * static_cast<size_t>(j), sizeof v);
    const int64_t a = (static_cast<int64_t>(v[0]) >> 1) - 1, b = (static_cast<int64_t>(v[1]) >> 1) - 1;
    const int64_t swap = (b - a) & -static_cast<int64_t>(b < a);
    const bool counted = (a | b) >= 0;
    calls[2 * j] = counted ? static_cast<int32_t>(a + swap) : kNoCall;
    calls[2 * j + 1] = counted ? static_cast<int32_t>(b - swap) : kNoCall;
    const int64_t top = b - swap;
    if (top > largest.allele) [[unlikely]] largest = {static_cast<int32_t>(top), j};
  }
  result = largest;
}

}  // namespace

RecordFault decode_htslib_record(bcf_hdr_t* hdr, bcf1_t* rec, HtsIntBuffer& gt,
                                 std::string& alt_text, int32_t* calls, SiteText& s,
                                 LargestAllele& largest, const uint8_t** packed) {
  if (packed != nullptr) *packed = nullptr;
  largest = {};
  const int samples = bcf_hdr_nsamples(hdr);
  if (bcf_unpack(rec, BCF_UN_STR) < 0) return {RecordProblem::kUnreadable, -1, 0, 0};
  if (rec->rid < 0 || rec->rid >= hdr->n[BCF_DT_CTG]) return {RecordProblem::kNoChrom, -1, 0, 0};
  s.chrom = bcf_seqname(hdr, rec);
  s.pos = rec->pos + 1;
  s.n_allele = rec->n_allele;
  s.id = rec->d.id ? std::string_view(rec->d.id) : std::string_view(".");
  s.ref = rec->n_allele > 0 ? std::string_view(rec->d.allele[0]) : std::string_view();
  alt_text.clear();
  for (int i = 1; i < rec->n_allele; ++i) {
    if (i > 1) alt_text.push_back(',');
    alt_text.append(rec->d.allele[i]);
  }
  if (rec->n_allele <= 1) alt_text.push_back('.');
  s.alt = alt_text;
  s.has_gt = false;
  if (s.pos < 1) return {RecordProblem::kBadPosition, -1, 0, 0};
  if (s.n_allele == 0) return {RecordProblem::kNoRef, -1, 0, 0};

  // Diploid GT straight from the record's typed values, without the copy
  // into 32-bit values that bcf_get_genotypes makes; it serves the rest.
  if (bcf_unpack(rec, BCF_UN_FMT) < 0) return {RecordProblem::kUnreadable, -1, 0, 0};
  const bcf_fmt_t* fmt = bcf_get_fmt(hdr, rec, "GT");
  if (packed != nullptr && fmt && fmt->n == 2 && fmt->p && fmt->type == BCF_BT_INT8) {
    s.has_gt = true;
    *packed = fmt->p;
    return {};
  }
  std::fill(calls, calls + 2 * static_cast<size_t>(samples), kNoCall);
  if (fmt && fmt->n == 2 && fmt->p) {
    s.has_gt = true;
    switch (fmt->type) {
      case BCF_BT_INT8:
        decode_diploid<int8_t>(fmt->p, samples, calls, largest);
        return {};
      case BCF_BT_INT16:
        decode_diploid<int16_t>(fmt->p, samples, calls, largest);
        return {};
      case BCF_BT_INT32:
        decode_diploid<int32_t>(fmt->p, samples, calls, largest);
        return {};
      default:
        break;
    }
  }
  int got = bcf_get_genotypes(hdr, rec, &gt.data, &gt.size);
  if (got == -1 || got == -3 || samples == 0) return {};
  if (got < 0) return {RecordProblem::kUnreadable, -1, 0, 0};
  s.has_gt = true;
  const int ploidy = got / samples;
  for (int j = 0; j < samples; ++j) {
    const int32_t* v = gt.data + static_cast<size_t>(j) * ploidy;
    int32_t a[2] = {kNoCall, kNoCall};
    int n = 0;
    bool all_known = true;
    for (int i = 0; i < ploidy && v[i] != bcf_int32_vector_end; ++i, ++n) {
      int32_t allele = v[i] == bcf_int32_missing || bcf_gt_is_missing(v[i]) ? kNoCall : bcf_gt_allele(v[i]);
      if (allele == kNoCall) all_known = false;
      else note_allele(largest, allele, j);
      if (n < 2) a[n] = allele;
    }
    if (n == 2 && all_known) {
      calls[2 * static_cast<size_t>(j)] = std::min(a[0], a[1]);
      calls[2 * static_cast<size_t>(j) + 1] = std::max(a[0], a[1]);
    }
  }
  return {};
}

void decode_sex_linked_calls(bcf_hdr_t* hdr, bcf1_t* rec, HtsIntBuffer& gt, int32_t* calls) {
  const int samples = bcf_hdr_nsamples(hdr);
  std::fill(calls, calls + 2 * static_cast<size_t>(samples), kNoCall);
  const int got = bcf_get_genotypes(hdr, rec, &gt.data, &gt.size);
  if (got <= 0 || samples == 0) return;
  const int ploidy = got / samples;
  for (int j = 0; j < samples; ++j) {
    const int32_t* v = gt.data + static_cast<size_t>(j) * ploidy;
    int32_t a[2] = {kNoCall, kNoCall};
    int n = 0;
    bool all_known = true;
    for (int i = 0; i < ploidy && v[i] != bcf_int32_vector_end; ++i, ++n) {
      const bool missing = v[i] == bcf_int32_missing || bcf_gt_is_missing(v[i]);
      if (missing) all_known = false;
      if (n < 2) a[n] = missing ? kNoCall : bcf_gt_allele(v[i]);
    }
    if (!all_known) continue;
    int32_t* call = calls + 2 * static_cast<size_t>(j);
    if (n == 1) {
      call[0] = a[0];
      call[1] = kHaploidCall;
    } else if (n == 2) {
      call[0] = std::min(a[0], a[1]);
      call[1] = std::max(a[0], a[1]);
    }
  }
}
