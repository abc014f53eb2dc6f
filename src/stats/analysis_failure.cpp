#include "stats/analysis_failure.h"

#include "genotype/genotype_reader.h"

const char* analysis_failure_words(AnalysisStatus status) {
  switch (status) {
    case AnalysisStatus::kOk:
      return "";
    case AnalysisStatus::kNoData:
      return kIncorrectDataText;
    case AnalysisStatus::kOneAllele:
      return "only one allele class in file - nothing to test";
    case AnalysisStatus::kOutOfMemory:
    case AnalysisStatus::kOutOfMemoryShrink:
      return kMemoryErrorText;
  }
  return "";
}
