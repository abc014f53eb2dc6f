#include "vcf/vcf_reader.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "sites/site_key.h"
#include "vcf/gt_text_scan.h"
#include "vcf/hts_handles.h"
#include "vcf/htslib_record.h"
#include "vcf/site_tally.h"
#include "vcf/text_lines.h"

struct VcfReaderState {
  bool bcf = false;
  GtDecoder decoder = GtDecoder::kTextScan;
  HtsFile file;
  BcfHeader header;
  BcfRecord record;
  std::vector<std::string> sample_ids;
  SamplePopulations pops;

  std::vector<VcfRegion> regions;
  size_t next_region = 0;
  HtsIndex index;    // BCF
  TabixIndex tabix;  // VCF text
  HtsIterator iterator;

  OwnedKstring line;     // a line of VCF text, as htslib reads it
  TextLines text_lines;  // or as read in chunks (the scan, bgzipped, no regions)
  bool chunked_lines = false;
  std::string_view text_line;  // the current line, in one or the other
  std::string alt_text;        // ALT joined, for records htslib decoded
  HtsIntBuffer gt;
  std::vector<int32_t> calls;
  TallyWorkspace tally;
  uint64_t header_lines = 0;  // VCF text: lines before the first record
  uint64_t records = 0;       // records read so far

  // Identical records: those met at the current chrom and pos so far.
  std::string group_chrom;
  int64_t group_pos = -1;
  std::vector<uint64_t> group_keys;

  bool done = false;
};

VcfReader::VcfReader() : state(std::make_unique<VcfReaderState>()) {}
VcfReader::~VcfReader() = default;
VcfReader::VcfReader(VcfReader&&) noexcept = default;
VcfReader& VcfReader::operator=(VcfReader&&) noexcept = default;

namespace {

VcfFailure file_failure(VcfStatus status, std::string reason) {
  VcfFailure f;
  f.status = status;
  f.reason = std::move(reason);
  return f;
}

// Lines of VCF text before the first record, for the line numbers of faults.
uint64_t count_header_lines(const char* path) {
  HtsFile f(hts_open(path, "r"));
  if (!f) return 0;
  OwnedKstring line;
  uint64_t n = 0;
  while (hts_getline(f.get(), '\n', &line.s) >= 0 && line.s.l > 0 && line.s.s[0] == '#') ++n;
  return n;
}

enum class Next { kRecord, kEnd, kError };

// The next raw line of VCF text, from the file or the regions' iterators.
Next next_text_line(VcfReaderState& r) {
  if (r.chunked_lines) {
    switch (read_text_line(r.file->fp.bgzf, r.text_lines, r.text_line)) {
      case LineRead::kLine:
        return Next::kRecord;
      case LineRead::kEnd:
        return Next::kEnd;
      case LineRead::kError:
        return Next::kError;
    }
  }
  if (r.regions.empty()) {
    int got = hts_getline(r.file.get(), '\n', &r.line.s);
    r.text_line = std::string_view(r.line.s.s, r.line.s.l);
    return got >= 0 ? Next::kRecord : got == -1 ? Next::kEnd : Next::kError;
  }
  for (;;) {
    if (!r.iterator) {
      if (r.next_region == r.regions.size()) return Next::kEnd;
      const VcfRegion& g = r.regions[r.next_region++];
      int tid = tbx_name2id(r.tabix.get(), g.chrom.c_str());
      if (tid < 0) continue;  // a contig without records in this file
      r.iterator.reset(tbx_itr_queryi(r.tabix.get(), tid, g.from - 1, g.to));
      if (!r.iterator) return Next::kError;
    }
    int got = tbx_itr_next(r.file.get(), r.tabix.get(), r.iterator.get(), &r.line.s);
    if (got >= 0) {
      r.text_line = std::string_view(r.line.s.s, r.line.s.l);
      return Next::kRecord;
    }
    r.iterator.reset();
    if (got < -1) return Next::kError;
  }
}

// The next BCF record, from the file or the regions' iterators.
Next next_bcf_record(VcfReaderState& r) {
  if (r.regions.empty()) {
    int got = bcf_read(r.file.get(), r.header.get(), r.record.get());
    if (got == -1) return Next::kEnd;
    return got < -1 || r.record->errcode ? Next::kError : Next::kRecord;
  }
  for (;;) {
    if (!r.iterator) {
      if (r.next_region == r.regions.size()) return Next::kEnd;
      const VcfRegion& g = r.regions[r.next_region++];
      int tid = bcf_hdr_name2id(r.header.get(), g.chrom.c_str());
      if (tid < 0) continue;
      r.iterator.reset(bcf_itr_queryi(r.index.get(), tid, g.from - 1, g.to));
      if (!r.iterator) continue;  // the index has no records on the contig
    }
    int got = bcf_itr_next(r.file.get(), r.iterator.get(), r.record.get());
    if (got >= 0) return r.record->errcode ? Next::kError : Next::kRecord;
    r.iterator.reset();
    if (got < -1) return Next::kError;
  }
}

VcfFailure record_failure(const VcfReaderState& r, const RecordFault& fault, const SiteText& s) {
  VcfFailure f;
  f.status = VcfStatus::kMalformed;
  const std::string id = fault.sample >= 0 ? r.sample_ids[static_cast<size_t>(fault.sample)] : "";
  f.reason = record_fault_text(fault, id, s.n_allele, static_cast<int32_t>(r.sample_ids.size()));
  if (!r.regions.empty() && !s.chrom.empty()) {
    f.where = VcfWhere::kPosition;
    f.chrom = std::string(s.chrom);
    f.number = static_cast<uint64_t>(std::max<int64_t>(s.pos, 0));
  } else if (r.bcf) {
    f.where = VcfWhere::kRecord;
    f.number = r.records;
  } else if (r.regions.empty()) {
    f.where = VcfWhere::kLine;
    f.number = r.header_lines + r.records;
  }
  return f;
}

VcfFailure read_failure(const VcfReaderState& r) {
  VcfFailure f = record_failure(r, {RecordProblem::kUnreadable, -1, 0, 0}, SiteText{});
  if (!r.regions.empty()) {
    f.where = VcfWhere::kNone;
    f.reason = "malformed record in region " + format_region(r.regions[r.next_region - 1]);
  }
  return f;
}

bool in_current_region(const VcfReaderState& r, int64_t pos) {
  if (r.regions.empty()) return true;
  const VcfRegion& g = r.regions[r.next_region - 1];
  return pos >= g.from && pos <= g.to;
}

// The site's key prefix and its occurrence among identical records.
uint32_t note_occurrence(VcfReaderState& r, const SiteText& s, uint64_t& prefix) {
  prefix = hash_key_field(0, s.chrom);
  prefix = hash_key_field(prefix, std::to_string(s.pos));
  prefix = hash_key_field(prefix, s.ref);
  prefix = hash_key_field(prefix, s.alt);
  if (s.pos != r.group_pos || s.chrom != r.group_chrom) {
    r.group_chrom.assign(s.chrom);
    r.group_pos = s.pos;
    r.group_keys.clear();
  }
  uint32_t occurrence = 1 + static_cast<uint32_t>(std::count(r.group_keys.begin(), r.group_keys.end(), prefix));
  r.group_keys.push_back(prefix);
  return occurrence;
}

}  // namespace

const SamplePopulations& reader_populations(const VcfReader& reader) { return reader.state->pops; }

VcfFailure open_vcf(const char* path, const VcfReadOptions& options, VcfReader& reader) {
  VcfReaderState& r = *reader.state;
  silence_htslib();
  r.decoder = options.decoder;
  r.file.reset(hts_open(path, "r"));
  if (!r.file) return file_failure(VcfStatus::kCannotOpen, "cannot open the file");
  const htsFormat* format = hts_get_format(r.file.get());
  if (format->category != variant_data || (format->format != vcf && format->format != bcf))
    return file_failure(VcfStatus::kNotVcf, "not a VCF or BCF file");
  r.bcf = format->format == bcf;
  if (options.threads > 0) hts_set_threads(r.file.get(), options.threads);
  r.header.reset(bcf_hdr_read(r.file.get()));
  if (!r.header) return file_failure(VcfStatus::kNotVcf, "no readable VCF header");
  r.record.reset(bcf_init());
  if (!r.record) return file_failure(VcfStatus::kOutOfMemory, "out of memory");

  const int samples = bcf_hdr_nsamples(r.header.get());
  for (int i = 0; i < samples; ++i) r.sample_ids.emplace_back(r.header->samples[i]);
  r.pops = options.pops ? assign_populations(*options.pops, r.sample_ids)
                        : all_samples_one_population(samples);
  r.calls.assign(2 * static_cast<size_t>(samples), kNoCall);

  r.regions = options.regions;
  if (!r.regions.empty()) {
    if (r.bcf) {
      r.index.reset(bcf_index_load(path));
      if (!r.index) return file_failure(VcfStatus::kNoIndex, "--region needs an index (.csi); make one with bcftools index");
    } else {
      r.tabix.reset(tbx_index_load(path));
      if (!r.tabix)
        return file_failure(VcfStatus::kNoIndex,
                            "--region needs an index (.tbi or .csi) of the bgzip-compressed file; make one with tabix -p vcf");
    }
  } else if (!r.bcf) {
    r.header_lines = count_header_lines(path);
    r.chunked_lines = r.decoder == GtDecoder::kTextScan &&
                      (format->compression == bgzf || format->compression == gzip);
  }
  return {};
}

VcfFailure read_site_block(VcfReader& reader, SiteBlock& block, size_t max_sites) {
  VcfReaderState& r = *reader.state;
  clear_site_block(block);
  if (max_sites == 0) max_sites = 1;
  const bool text = !r.bcf;
  const bool scan = text && r.decoder == GtDecoder::kTextScan;
  while (!r.done && block.sites.size() < max_sites) {
    Next next = text ? next_text_line(r) : next_bcf_record(r);
    if (next == Next::kEnd) {
      r.done = true;
      break;
    }
    ++r.records;
    if (next == Next::kError) {
      r.done = true;
      return read_failure(r);
    }
    SiteText s;
    LargestAllele largest;
    RecordFault fault;
    const uint8_t* packed = nullptr;
    bool counted = false;  // the decoder counted the calls itself
    if (scan) {
      VcfTextFields f;
      fault = scan_and_count_vcf_line(r.text_line.data(), r.text_line.size(), r.pops, f, r.tally,
                                      largest);
      counted = true;
      s.chrom = f.chrom;
      s.id = f.id;
      s.ref = f.ref;
      s.alt = alt_as_htslib(f.alt, r.alt_text);
      s.pos = f.pos;
      s.n_allele = f.n_allele;
      s.has_gt = f.has_gt;
    } else {
      if (text && vcf_parse(&r.line.s, r.header.get(), r.record.get()) < 0)
        fault = {RecordProblem::kUnreadable, -1, 0, 0};
      else
        fault = decode_htslib_record(r.header.get(), r.record.get(), r.gt, r.alt_text,
                                     r.calls.data(), s, largest, &packed);
    }
    // Packed GT is counted as it is; a call naming an allele beyond the
    // site's is found again through the calls, to name its sample.
    if (packed != nullptr) {
      counted = count_packed_gt(s, packed, r.pops, r.tally) < s.n_allele;
      if (!counted)
        fault = decode_htslib_record(r.header.get(), r.record.get(), r.gt, r.alt_text,
                                     r.calls.data(), s, largest);
    }
    if (fault.problem == RecordProblem::kNone && largest.allele >= s.n_allele)
      fault = {RecordProblem::kAlleleBeyondAlt, largest.sample, largest.allele, 0};
    if (fault.problem != RecordProblem::kNone) {
      r.done = true;
      VcfFailure f = record_failure(r, fault, s);
      clear_site_block(block);
      return f;
    }
    if (!in_current_region(r, s.pos)) continue;
    s.record = r.regions.empty() ? (text ? r.header_lines + r.records : r.records) : 0;
    uint64_t prefix = 0;
    uint32_t occurrence = note_occurrence(r, s, prefix);
    if (!counted) count_calls(s, r.calls.data(), r.pops, r.tally);
    add_site_units(s, r.pops, prefix, occurrence, r.tally, block);
  }
  return {};
}
