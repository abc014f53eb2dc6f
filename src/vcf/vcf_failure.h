// How reading a VCF or BCF file fails: a status, where, and why.
//
// The reader never prints; the front end writes "FILE: " before
// describe_vcf_failure's text, e.g. "line 12: GT of sample S3 is not a
// number or '.'" (VCF text), "record 7: ..." (BCF) or "chr2:1045: ..." (a
// record met through the index, whose line number is unknown).
#pragma once

#include <cstdint>
#include <string>

enum class VcfStatus {
  kOk,
  kCannotOpen,     // missing or unreadable
  kNotVcf,         // neither VCF text nor BCF, or no readable header
  kUnsupported,    // compressed in a way htslib cannot read (bzip2, xz, zstd)
  kBadPops,        // the --pops file: unreadable, short line, an ID twice
  kBadRegion,      // a --region that reads two ways in this file
  kNoIndex,        // --region without a .tbi/.csi index, or on a stream
  kStaleIndex,     // the file holds data its index does not cover
  kIndexMismatch,  // the index points where the file has no data
  kNoContig,       // no --region names a contig of the file
  kTruncated,      // the compressed data ends early
  kDamaged,        // a compressed block that cannot be inflated
  kMalformed,      // a record htslib or the GT scan rejects
  kOutOfMemory,
};

enum class VcfWhere {
  kNone,      // the file as a whole
  kLine,      // a line of VCF text (1-based, header included)
  kRecord,    // the n-th record of a BCF file (1-based)
  kPosition,  // a record read through the index: chrom and pos
  kPopsLine,  // a line of the --pops file
};

// Text from the input (sample IDs, contig names) is escaped (escape_text)
// where the reason is made, and chrom when it is described, so that the
// description can be written to a terminal as it is.
struct VcfFailure {
  VcfStatus status = VcfStatus::kOk;
  VcfWhere where = VcfWhere::kNone;
  uint64_t number = 0;  // line, record or position
  std::string chrom;    // kPosition only, as the file has it
  std::string reason;
};

inline bool vcf_ok(const VcfFailure& f) { return f.status == VcfStatus::kOk; }

// A failure of the file as a whole.
inline VcfFailure file_failure(VcfStatus status, std::string reason) {
  VcfFailure f;
  f.status = status;
  f.reason = std::move(reason);
  return f;
}

// "line 12: reason", "record 7: reason", "chr2:1045: reason", "reason".
std::string describe_vcf_failure(const VcfFailure& f);
