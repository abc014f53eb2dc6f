// The genotype-only reading of one line of VCF text: CHROM, POS, ID, REF,
// ALT, the FORMAT keys and the GT subfield of each sample, nothing else
// decoded and nothing allocated.
//
// It accepts and rejects GT exactly as htslib's full parser does (an
// optional '+', digits or '.', joined by '/' or '|', up to 1073741822, then
// ':' or the end of the sample; a sample without the GT subfield has none;
// fewer sample columns than samples is an error, more are ignored; more
// values than FORMAT keys is an error). The contents of other FORMAT and
// INFO fields are not checked. POS is read as htslib does (digits after an
// optional '+', up to the first other character) and must be positive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "vcf/gt_calls.h"
#include "vcf/sample_populations.h"
#include "vcf/site_tally.h"

// ID, REF and the alleles of ALT as htslib gives them: empty ones are ".".
struct VcfTextFields {
  std::string_view chrom, id, ref;
  std::string_view alt;  // as written: see alt_as_htslib
  int64_t pos = 0;       // 1-based
  int32_t n_allele = 0;  // REF + ALT ("." counts none)
  bool has_gt = false;   // FORMAT names GT
};

// Scans one line (without its newline). calls holds 2 * samples entries.
// On a fault the fields read so far stay valid.
RecordFault scan_vcf_line(const char* line, size_t length, int32_t samples,
                          VcfTextFields& fields, int32_t* calls, LargestAllele& largest);

// The same, with each haploid call written as its allele and kHaploidCall
// (gt_calls.h), for the sites counted by sex.
RecordFault scan_sex_linked_vcf_line(const char* line, size_t length, int32_t samples,
                                     VcfTextFields& fields, int32_t* calls,
                                     LargestAllele& largest);

// The same, counting the calls per population (pops has one entry per
// sample) instead of writing them down: without a fault, and with no call
// naming an allele beyond the site's, work holds the site's counts as
// count_calls gives them (site_tally.h): a site too wide for the dense
// tables is scanned a second time, its calls written down.
RecordFault scan_and_count_vcf_line(const char* line, size_t length, const SamplePopulations& pops,
                                    VcfTextFields& fields, TallyWorkspace& work,
                                    LargestAllele& largest);

// ALT with every empty allele written "." (scratch holds the text when one
// is), as htslib stores it.
std::string_view alt_as_htslib(std::string_view alt, std::string& scratch);
