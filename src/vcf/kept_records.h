// The records a reader read, kept beside its block of sites so that they can
// be written again with what the tests found (an annotated copy of the
// input): every record in the file's order, each with the units the block
// made of it. A record the reader read but did not test (a site on Y or the
// mitochondria with sexes known) has no units and is written as it was;
// records outside the regions read are not kept, as they are not read.
//
// The lines of VCF text are kept as read when the copy is VCF text too;
// otherwise each record as htslib holds it (BCF, or VCF text parsed by
// htslib). The first records of a file come with a copy of its header and
// its populations' names, which the copy's header is made from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vcf/hts_handles.h"

enum class KeptForm { kNone, kText, kRecord };

struct KeptRecord {
  uint32_t first_unit = 0;  // the record's units in the block: [first_unit, first_unit + units)
  uint32_t units = 0;       // 0: read, not tested
  size_t text_end = 0;      // kText: the end of its line in KeptRecords::text
};

struct KeptRecords {
  KeptForm form = KeptForm::kNone;
  std::vector<KeptRecord> list;
  std::string text;                // kText: the lines back to back, without line feeds
  std::vector<BcfRecord> records;  // kRecord: one per entry of list
  BcfHeader header;                // with a file's first records only
  std::vector<std::string> populations;  // with the header: the reader's population names
};

// The line of the i-th record (kText).
inline std::string_view kept_line(const KeptRecords& k, size_t i) {
  const size_t start = i == 0 ? 0 : k.list[i - 1].text_end;
  return std::string_view(k.text).substr(start, k.list[i].text_end - start);
}

inline void clear_kept_records(KeptRecords& k) {
  k.list.clear();
  k.text.clear();
  k.records.clear();
  k.header.reset();
  k.populations.clear();
}
