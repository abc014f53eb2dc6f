// The samples' sexes, from a --sex file.
//
// One sample per line, its ID and its sex, separated by tabs or spaces:
// `1`, `M` or `male` for a male, `2`, `F` or `female` for a female, `0`,
// `NA` or `unknown` for unknown, in any case. A PLINK .fam file works as it
// is: a file whose first sample line has six fields is read as one (IID in
// field 2, sex in field 5), and every line must then have six. Blank lines
// and lines starting with `#` (a comment, or a .psam's `#IID SEX` header)
// are skipped; a line may end in CR LF. The reader never prints: a failure
// names the line at fault.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class Sex : uint8_t { kUnknown, kMale, kFemale };

// The sex a code stands for; false when it is none of the codes above.
bool parse_sex_code(std::string_view code, Sex& sex);

enum class SexFileStatus {
  kOk,
  kCannotOpen,
  kCannotRead,
  kFieldCount,  // a line without 2 fields (6 in a .fam)
  kUnknownCode,
  kDuplicateId,
  kNoSamples,  // not one sample line
};

struct SexFileFailure {
  SexFileStatus status = SexFileStatus::kOk;
  uint64_t line = 0;        // 1-based line at fault; 0 for the file as a whole
  uint64_t first_line = 0;  // kDuplicateId: where the ID stood first
  uint64_t fields = 0;      // kFieldCount: the fields found
  bool fam = false;         // kFieldCount: in a file read as a .fam
  std::string text;         // kUnknownCode: the code; kDuplicateId: the ID
};

struct SexEntry {
  std::string id;
  Sex sex = Sex::kUnknown;
};

struct SexFile {
  SexFileFailure failure;
  bool fam = false;               // read as a PLINK .fam
  std::vector<SexEntry> entries;  // in the file's order, IDs distinct; empty on failure
};

SexFile read_sex_file(const char* path);

// The failure in words, for "FILE: " before it: "line 3: unknown sex code
// \"X\" (1/M/male, 2/F/female, 0/NA/unknown)".
std::string describe_sex_failure(const SexFileFailure& failure);

// The sexes of the data's samples, in its column order.
struct SampleSexes {
  std::vector<Sex> of_sample;
  std::vector<std::string> absent;  // IDs of the file that the data lacks, to be named once
  int64_t males = 0;
  int64_t females = 0;
  int64_t unknown = 0;  // samples of unknown sex, with the samples the file does not name
};

SampleSexes assign_sexes(const std::vector<SexEntry>& entries,
                         const std::vector<std::string>& samples);
