#include "vcf/htslib_record.h"

#include <algorithm>

RecordFault decode_htslib_record(bcf_hdr_t* hdr, bcf1_t* rec, HtsIntBuffer& gt, std::string& alt_text,
                                 int32_t* calls, SiteText& s, LargestAllele& largest) {
  largest = {};
  const int samples = bcf_hdr_nsamples(hdr);
  std::fill(calls, calls + 2 * static_cast<size_t>(samples), kNoCall);
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

