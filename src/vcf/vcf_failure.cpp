#include "vcf/vcf_failure.h"

#include "fileio/text_escape.h"

std::string describe_vcf_failure(const VcfFailure& f) {
  switch (f.where) {
    case VcfWhere::kLine:
    case VcfWhere::kPopsLine:
      return "line " + std::to_string(f.number) + ": " + f.reason;
    case VcfWhere::kRecord:
      return "record " + std::to_string(f.number) + ": " + f.reason;
    case VcfWhere::kPosition:
      return escape_text(f.chrom) + ":" + std::to_string(f.number) + ": " + f.reason;
    case VcfWhere::kNone:
      break;
  }
  return f.reason;
}
