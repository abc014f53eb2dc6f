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
#include <vector>

#include "plink/plink_failure.h"
#include "vcf/sample_populations.h"

enum class FamSex : uint8_t { kUnknown = 0, kMale = 1, kFemale = 2 };
enum class FamPhenotype : uint8_t { kMissing, kControl, kCase, kOther };

struct FamSample {
  std::string fid, iid;
  FamSex sex = FamSex::kUnknown;
  FamPhenotype phenotype = FamPhenotype::kMissing;
  uint64_t line = 0;
};

struct FamFile {
  PlinkFailure failure;
  std::vector<FamSample> samples;
  std::vector<std::string> names;  // per sample: IID, or FID_IID
  bool family_names = false;       // the names are FID_IID
};

FamFile read_fam_file(const char* path);

// Column 5 of every sample.
std::vector<FamSex> fam_sexes(const FamFile& fam);

// Populations "control" and "case" (in that order) from column 6; samples
// with a missing phenotype are left out. A quantitative phenotype is an error
// naming its first line.
PlinkFailure phenotype_populations(const FamFile& fam, const std::string& path,
                                   SamplePopulations& out);
