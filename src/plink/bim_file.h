// A PLINK .bim file: one variant per line, in the order of the .bed's
// variants, six fields separated by spaces or tabs (chromosome, ID, position
// in cM, base-pair position, A1, A2); blank lines are skipped. A1 (the .bed's
// allele 1) or A2 may be 0 or '.', no allele, as PLINK writes it for a
// monomorphic variant; otherwise A1 and A2 differ. A negative position marks
// a variant that PLINK leaves out, and so does the reader.
//
// index_bim_file reads the file once, checks every line, and keeps what a
// region needs to find its variants without keeping the variants: the runs
// of variants on one chromosome (a file is normally sorted, so there is one
// run per chromosome, but need not be), whether the positions of each run
// ever decrease, and every 1024th line of a run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "plink/plink_chrom.h"
#include "plink/plink_failure.h"

// One line's fields, as views into the line.
struct BimVariant {
  std::string_view chrom, id, a1, a2;
  int64_t pos = 0;
};

// False with the reason when the line is not a .bim line.
bool parse_bim_line(std::string_view line, BimVariant& v, std::string& reason);

inline bool is_no_allele(std::string_view allele) { return allele == "0" || allele == "."; }

struct BimRun {
  std::string chrom;  // as plink_chrom.h names it
  PlinkChromKind kind = PlinkChromKind::kOther;
  uint64_t first = 0, count = 0;  // its variants, numbered from 0 as in the .bed
  bool sorted = true;             // no position below the one before (negative ones aside)
  int64_t min_pos = INT64_MAX, max_pos = INT64_MIN;  // of the positions that count
  uint32_t first_mark = 0;                           // its marks: [first_mark, the next run's)
};

// Where a variant's line starts: byte offset and line number.
struct BimMark {
  uint64_t variant = 0, offset = 0, line = 0;
  int64_t pos = 0;  // INT64_MIN for a run's first line when it has a negative position
};

struct BimIndex {
  PlinkFailure failure;
  uint64_t variants = 0;  // lines: the .bed's variants
  uint64_t left_out = 0;  // of them with a negative position
  std::vector<BimRun> runs;
  std::vector<BimMark> marks;
};

inline constexpr uint64_t kBimMarkSpacing = 1024;

BimIndex index_bim_file(const char* path);

// The marks of run r.
inline std::pair<uint32_t, uint32_t> run_marks(const BimIndex& index, size_t r) {
  const uint32_t end = r + 1 < index.runs.size() ? index.runs[r + 1].first_mark
                                                 : static_cast<uint32_t>(index.marks.size());
  return {index.runs[r].first_mark, end};
}
