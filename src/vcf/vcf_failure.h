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
  kBadPops,        // the --pops file: unreadable, short line, an ID twice
  kBadRegion,      // a --region that is not CHR[:FROM-TO]
  kNoIndex,        // --region without a .tbi/.csi index
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

struct VcfFailure {
  VcfStatus status = VcfStatus::kOk;
  VcfWhere where = VcfWhere::kNone;
  uint64_t number = 0;  // line, record or position
  std::string chrom;    // kPosition only
  std::string reason;
};

inline bool vcf_ok(const VcfFailure& f) { return f.status == VcfStatus::kOk; }

// "line 12: reason", "record 7: reason", "chr2:1045: reason", "reason".
std::string describe_vcf_failure(const VcfFailure& f);
