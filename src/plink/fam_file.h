// A PLINK .fam file: one sample per line, six fields separated by spaces or
// tabs (family ID, individual ID, father, mother, sex, phenotype); blank
// lines are skipped. Samples are in the order of the .bed's genotypes.
//
// Samples are named by their IIDs, or all by FID_IID when some IID repeats;
// two samples with one name are an error. Sex (column 5) is 1, M or male for
// male, 2, F or female for female, 0, -9, NA or unknown for unknown (any
// case). The phenotype (column 6) is 1 for a control, 2 for a case, 0, -9 or
// NA for missing; anything else (a quantitative trait) is kept as "other".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "plink/plink_failure.h"
#include "vcf/sample_populations.h"

enum class FamSex : uint8_t { kUnknown = 0, kMale = 1, kFemale = 2 };
enum class FamPhenotype : uint8_t { kMissing, kControl, kCase, kOther };

// The IDs are kept in FamFile::ids, FID then IID back to back, so that a
// sample is a small record and a .fam of many samples is read without a
// string per field.
struct FamSample {
  uint64_t at = 0;  // the FID's first byte in FamFile::ids
  uint32_t fid_length = 0, iid_length = 0;
  uint64_t line = 0;
  FamSex sex = FamSex::kUnknown;
  FamPhenotype phenotype = FamPhenotype::kMissing;
};

struct FamFile {
  PlinkFailure failure;
  std::vector<FamSample> samples;
  std::string ids;            // every sample's FID and IID
  bool family_names = false;  // samples are named FID_IID
};

inline std::string_view fam_fid(const FamFile& fam, const FamSample& s) {
  return std::string_view(fam.ids).substr(s.at, s.fid_length);
}
inline std::string_view fam_iid(const FamFile& fam, const FamSample& s) {
  return std::string_view(fam.ids).substr(s.at + s.fid_length, s.iid_length);
}

FamFile read_fam_file(const char* path);

// Every sample's name: its IID, or FID_IID when some IID repeats.
std::vector<std::string> fam_names(const FamFile& fam);

// Column 5 of every sample.
std::vector<FamSex> fam_sexes(const FamFile& fam);

// Populations "control" and "case" (in that order) from column 6; samples
// with a missing phenotype are left out. A quantitative phenotype is an error
// naming its first line.
PlinkFailure phenotype_populations(const FamFile& fam, const std::string& path,
                                   SamplePopulations& out);
