#include "vcf/gt_calls.h"

#include "fileio/text_escape.h"

namespace {

std::string printable(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  if (u >= 0x20 && u < 0x7F) return std::string("'") + c + "'";
  static const char hex[] = "0123456789ABCDEF";
  return std::string("byte 0x") + hex[u >> 4] + hex[u & 15];
}

}  // namespace

std::string record_fault_text(const RecordFault& f, const std::string& sample_id,
                              int32_t n_allele, int32_t samples) {
  const std::string who = "sample " + escape_text(sample_id);
  switch (f.problem) {
    case RecordProblem::kNone:
      return "";
    case RecordProblem::kEmptyLine:
      return "empty line";
    case RecordProblem::kNoRef:
      return "no REF column";
    case RecordProblem::kNoSampleColumns:
      return "FORMAT column without sample columns";
    case RecordProblem::kMissingSamples:
      return std::to_string(f.value) + " sample columns for " + std::to_string(samples) +
             " samples in the header";
    case RecordProblem::kGtNotNumber:
      return "GT of " + who + " is not a number or '.'";
    case RecordProblem::kGtTooLarge:
      return "GT of " + who + " has an allele index too large";
    case RecordProblem::kGtBadCharacter:
      return "GT of " + who + " is followed by " + printable(f.character);
    case RecordProblem::kTooManyValues:
      return who + " has more values than FORMAT has keys";
    case RecordProblem::kBadPosition:
      return "POS is not a positive number";
    case RecordProblem::kAlleleBeyondAlt:
      return "GT of " + who + " names allele " + std::to_string(f.value) + " but the site has " +
             std::to_string(n_allele) + " alleles";
    case RecordProblem::kUnreadable:
      return "malformed record";
    case RecordProblem::kNoChrom:
      return "contig not defined in the header";
  }
  return "";
}
