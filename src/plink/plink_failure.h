// How reading a PLINK 1 binary fileset (.bed, .bim, .fam) fails: a status,
// the file at fault, the line (of .bim or .fam text) and why.
//
// The reader never prints; the front end writes "FILE: " before
// describe_plink_failure's text, e.g. "line 12: expected 6 fields (chromosome,
// ID, cM, position, A1, A2), found 5".
#pragma once

#include <cstdint>
#include <string>

enum class PlinkStatus {
  kOk,
  kCannotOpen,       // missing or unreadable
  kNotBed,           // no PLINK .bed magic bytes, or an unknown mode byte
  kIndividualMajor,  // the old individual-major .bed layout
  kBadBedSize,       // longer or shorter than the .bim and .fam say
  kBadBim,           // a .bim line
  kBadFam,           // a .fam line
  kBadGenotypes,     // calls the .bim's alleles cannot hold
  kBadOptions,       // a combination the reader cannot honour
  kOutOfMemory,
};

struct PlinkFailure {
  PlinkStatus status = PlinkStatus::kOk;
  std::string file;   // the path at fault
  uint64_t line = 0;  // 1-based line of .bim or .fam text; 0: the file as a whole
  std::string reason;
};

inline bool plink_ok(const PlinkFailure& f) { return f.status == PlinkStatus::kOk; }

PlinkFailure plink_failure(PlinkStatus status, std::string file, uint64_t line, std::string reason);

// "line 12: reason", or "reason" for the file as a whole.
std::string describe_plink_failure(const PlinkFailure& f);
