#include "vcf/vcf_reader.h"

#include <algorithm>
#include <cstring>

#include <htslib/kstring.h>

#include "fileio/text_escape.h"
#include "sites/site_key.h"
#include "structure/genotype_codes.h"
#include "vcf/gt_text_scan.h"
#include "vcf/hts_handles.h"
#include "vcf/htslib_record.h"
#include "vcf/sex_tally.h"
#include "vcf/site_tally.h"
#include "vcf/text_lines.h"
#include "vcf/vcf_file.h"

struct VcfReaderState {
  GtDecoder decoder = GtDecoder::kTextScan;
  bool site_codes = false;
  VcfFile in;
  BcfRecord record;
  std::vector<std::string> sample_ids;
  SamplePopulations pops;
  VcfOpenNotes notes;

  std::vector<VcfRegion> regions;
  size_t next_region = 0;
  HtsIterator iterator;

  OwnedKstring line;     // a line of VCF text, as htslib reads it
  TextLines text_lines;  // or as read in chunks (the scan, bgzipped, no regions)
  bool chunked_lines = false;
  std::string_view text_line;  // the current line, in one or the other
  std::string alt_text;        // ALT joined, for records htslib decoded
  HtsIntBuffer gt;
  std::vector<int32_t> calls;
  TallyWorkspace tally;
  uint64_t records = 0;  // records read so far

  // Identical records: those met at the current chrom and pos so far.
  IdenticalRecords identical;

  // Sex-linked sites: the sexes (null without), the regions, the tally,
  // and the kind of the contig last met.
  const std::vector<SexEntry>* sex_entries = nullptr;
  ParBuild par = kDefaultParBuild;
  VcfSexNotes sex_notes;
  SexTally sex_tally;
  std::string contig_name;
  ContigKind contig_kind = ContigKind::kAutosome;
  bool contig_known = false;

  // Records kept to be written again: their form, whether the header has
  // gone with them yet, and the header's keys as declared (VCF text parsed
  // for BCF must declare every key it uses).
  KeptForm keep = KeptForm::kNone;
  bool header_kept = false;
  int declared_ids = 0;
  int declared_contigs = 0;

  bool done = false;
};

VcfReader::VcfReader() : state(std::make_unique<VcfReaderState>()) {}
VcfReader::~VcfReader() = default;
VcfReader::VcfReader(VcfReader&&) noexcept = default;
VcfReader& VcfReader::operator=(VcfReader&&) noexcept = default;

namespace {

enum class Next { kRecord, kEnd, kError };

// The end of the data, or an error when it ended early or a block failed
// (hts_getline gives -1 for both the end and a block it cannot read).
Next data_end(const VcfReaderState& r) { return bgzf_stream_ended(r.in) ? Next::kEnd : Next::kError; }

// The next raw line of VCF text, from the file or the regions' iterators.
Next next_text_line(VcfReaderState& r) {
  if (r.chunked_lines) {
    switch (read_text_line(r.in.file->fp.bgzf, r.text_lines, r.text_line)) {
      case LineRead::kLine:
        // A stream cut short ends in a piece of a line: not a record.
        return r.text_lines.unterminated && !bgzf_stream_ended(r.in) ? Next::kError : Next::kRecord;
      case LineRead::kEnd:
        return data_end(r);
      case LineRead::kError:
        return Next::kError;
    }
  }
  if (r.regions.empty()) {
    int got = hts_getline(r.in.file.get(), '\n', &r.line.s);
    r.text_line = std::string_view(r.line.s.s, r.line.s.l);
    return got >= 0 ? Next::kRecord : got == -1 ? data_end(r) : Next::kError;
  }
  for (;;) {
    if (!r.iterator) {
      if (r.next_region == r.regions.size()) return Next::kEnd;
      const VcfRegion& g = r.regions[r.next_region++];
      int tid = tbx_name2id(r.in.tabix.get(), g.chrom.c_str());
      if (tid < 0) continue;  // a contig without records in this file
      r.iterator.reset(tbx_itr_queryi(r.in.tabix.get(), tid, g.from - 1, g.to));
      if (!r.iterator) return Next::kError;
    }
    int got = tbx_itr_next(r.in.file.get(), r.in.tabix.get(), r.iterator.get(), &r.line.s);
    if (got >= 0) {
      r.text_line = std::string_view(r.line.s.s, r.line.s.l);
      return Next::kRecord;
    }
    r.iterator.reset();
    if (got < -1 || data_end(r) == Next::kError) return Next::kError;
  }
}

// The next BCF record, from the file or the regions' iterators.
Next next_bcf_record(VcfReaderState& r) {
  bcf_hdr_t* header = r.in.header.get();
  if (r.regions.empty()) {
    int got = bcf_read(r.in.file.get(), header, r.record.get());
    if (got == -1) return data_end(r);
    return got < -1 || r.record->errcode ? Next::kError : Next::kRecord;
  }
  for (;;) {
    if (!r.iterator) {
      if (r.next_region == r.regions.size()) return Next::kEnd;
      const VcfRegion& g = r.regions[r.next_region++];
      int tid = bcf_hdr_name2id(header, g.chrom.c_str());
      if (tid < 0) continue;
      r.iterator.reset(bcf_itr_queryi(r.in.index.get(), tid, g.from - 1, g.to));
      if (!r.iterator) continue;  // the index has no records on the contig
    }
    int got = bcf_itr_next(r.in.file.get(), r.iterator.get(), r.record.get());
    if (got >= 0) return r.record->errcode ? Next::kError : Next::kRecord;
    r.iterator.reset();
    if (got < -1 || data_end(r) == Next::kError) return Next::kError;
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
  } else if (r.in.bcf) {
    f.where = VcfWhere::kRecord;
    f.number = r.records;
  } else if (r.regions.empty()) {
    f.where = VcfWhere::kLine;
    f.number = r.in.header_lines + r.records;
  }
  return f;
}

// Where a read that failed was: after the last record read, or in a region.
std::string read_place(const VcfReaderState& r) {
  if (!r.regions.empty())
    return "in region " + escape_text(format_region(r.regions[r.next_region - 1]));
  const uint64_t before = r.records - 1;  // records read well
  if (r.in.bcf)
    return before == 0 ? "before the first record" : "after record " + std::to_string(before);
  return "after line " + std::to_string(r.in.header_lines + before);
}

// A read that failed: the compressed data (a damaged or cut block, a stream
// that ends early), else the record.
VcfFailure read_failure(const VcfReaderState& r) {
  VcfFailure data = compressed_data_failure(r.in, read_place(r));
  // Read through the index, a block that is not one may be the index's fault.
  if (!vcf_ok(data) && !r.regions.empty())
    data.reason += " (the file is damaged, or its index " + escape_text(r.in.index_path) +
                   " does not match it)";
  if (!vcf_ok(data)) return data;
  if (!bgzf_stream_ended(r.in))
    return file_failure(VcfStatus::kTruncated, "the data ends " + read_place(r) +
                                                   " without BGZF's end-of-file marker: it is "
                                                   "truncated");
  VcfFailure f = record_failure(r, {RecordProblem::kUnreadable, -1, 0, 0}, SiteText{});
  if (!r.regions.empty()) {
    f.where = VcfWhere::kNone;
    f.reason = "malformed record " + read_place(r);
  }
  return f;
}

// What the site is to the sex-linked rules; the contig's kind is kept
// while its records follow one another.
SiteKind site_kind(VcfReaderState& r, const SiteText& s) {
  if (!r.contig_known || s.chrom != r.contig_name) {
    r.contig_name.assign(s.chrom);
    r.contig_kind = classify_contig(s.chrom);
    r.contig_known = true;
  }
  if (r.contig_kind == ContigKind::kAutosome) return SiteKind::kAutosomal;
  return classify_site(r.contig_kind, s.pos, r.par);
}

// The record just read, with the units the block has made of it since
// `units_before`; false when memory ran out.
bool keep_record(VcfReaderState& r, const SiteBlock& block, size_t units_before,
                 KeptRecords& kept) {
  KeptRecord k;
  k.first_unit = static_cast<uint32_t>(units_before);
  k.units = static_cast<uint32_t>(block.units.size() - units_before);
  if (kept.form == KeptForm::kText) {
    kept.text.append(r.text_line);
    k.text_end = kept.text.size();
  } else {
    BcfRecord copy(bcf_dup(r.record.get()));
    if (!copy) return false;
    kept.records.push_back(std::move(copy));
  }
  kept.list.push_back(k);
  return true;
}

bool header_grew(const VcfReaderState& r) {
  const bcf_hdr_t* h = r.in.header.get();
  return h->n[BCF_DT_ID] != r.declared_ids || h->n[BCF_DT_CTG] != r.declared_contigs;
}

bool in_current_region(const VcfReaderState& r, int64_t pos) {
  if (r.regions.empty()) return true;
  const VcfRegion& g = r.regions[r.next_region - 1];
  return pos >= g.from && pos <= g.to;
}


}  // namespace

const SamplePopulations& reader_populations(const VcfReader& reader) { return reader.state->pops; }

const VcfOpenNotes& reader_notes(const VcfReader& reader) { return reader.state->notes; }

const VcfSexNotes& reader_sex_notes(const VcfReader& reader) { return reader.state->sex_notes; }
const std::vector<std::string>& reader_sample_ids(const VcfReader& reader) {
  return reader.state->sample_ids;
}

VcfFailure open_vcf(const char* path, const VcfReadOptions& options, VcfReader& reader) {
  VcfReaderState& r = *reader.state;
  r.decoder = options.decoder;
  r.site_codes = options.site_codes;
  r.keep = options.keep;
  VcfOpenOptions open;
  open.index = !options.regions.empty();
  open.threads = options.threads;
  const VcfFailure opened = open_vcf_file(path, open, r.in);
  if (!vcf_ok(opened)) return opened;
  if (r.in.index_older) r.notes.older_index = r.in.index_path;
  r.record.reset(bcf_init());
  if (!r.record) return file_failure(VcfStatus::kOutOfMemory, "out of memory");

  bcf_hdr_t* header = r.in.header.get();
  r.declared_ids = header->n[BCF_DT_ID];
  r.declared_contigs = header->n[BCF_DT_CTG];
  const int samples = bcf_hdr_nsamples(header);
  for (int i = 0; i < samples; ++i) r.sample_ids.emplace_back(header->samples[i]);
  r.pops = options.pops ? assign_populations(*options.pops, r.sample_ids)
                        : all_samples_one_population(samples);
  r.calls.assign(2 * static_cast<size_t>(samples), kNoCall);
  r.sex_entries = options.sexes;
  r.par = options.par;
  if (r.sex_entries != nullptr) {
    r.sex_notes.sexes = assign_sexes(*r.sex_entries, r.sample_ids);
    prepare_sex_tally(r.pops, r.sex_notes.sexes.of_sample, r.sex_tally);
  }

  std::vector<VcfRegion> regions = options.regions;
  for (VcfRegion& g : regions) {
    const std::string text = g.whole_name;
    if (!resolve_region(g, [&](const std::string& c) { return file_has_contig(r.in, c); }))
      return file_failure(VcfStatus::kBadRegion,
                          "--region " + escape_text(text) + " may be the contig " +
                              escape_text(text) + " or a range of " + escape_text(g.chrom) +
                              ", which the file both has: write {" + escape_text(text) + "} or {" +
                              escape_text(g.chrom) +
                              "}:" + escape_text(text.substr(g.chrom.size() + 1)));
  }
  r.regions = merge_regions(regions);
  if (!r.regions.empty()) {
    std::vector<std::string> named, absent;
    for (const VcfRegion& g : r.regions) {
      if (std::find(named.begin(), named.end(), g.chrom) != named.end()) continue;
      named.push_back(g.chrom);
      if (!file_has_contig(r.in, g.chrom)) absent.push_back(g.chrom);
    }
    if (!absent.empty()) {
      std::vector<std::string> contigs = indexed_contigs(r.in);
      if (absent.size() == named.size()) {
        std::string names;
        for (size_t i = 0; i < absent.size(); ++i)
          names += (i == 0 ? "" : i + 1 == absent.size() ? " or " : ", ") + escape_text(absent[i]);
        return file_failure(
            VcfStatus::kNoContig,
            "no contig " + names + " in the file (contigs: " +
                (contigs.empty() ? std::string("none with records") : contig_list_text(contigs)) +
                ")");
      }
      r.notes.absent_contigs = std::move(absent);
      r.notes.contigs = std::move(contigs);
    }
  } else if (!r.in.bcf) {
    r.chunked_lines = r.decoder == GtDecoder::kTextScan && r.in.compressed;
  }
  return {};
}

VcfFailure read_site_block(VcfReader& reader, SiteBlock& block, size_t max_sites,
                           KeptRecords* kept) {
  VcfReaderState& r = *reader.state;
  clear_site_block(block);
  if (max_sites == 0) max_sites = 1;
  const bool text = !r.in.bcf;
  // BCF records are kept as htslib holds them.
  if (r.keep == KeptForm::kNone || kept == nullptr) kept = nullptr;
  const KeptForm form = text ? r.keep : KeptForm::kRecord;
  if (kept != nullptr) {
    clear_kept_records(*kept);
    kept->form = form;
    if (!r.header_kept) {
      r.header_kept = true;
      kept->header.reset(bcf_hdr_dup(r.in.header.get()));
      if (!kept->header) return file_failure(VcfStatus::kOutOfMemory, "out of memory");
      kept->populations = r.pops.names;
    }
  }
  const VcfFailure out_of_memory = file_failure(VcfStatus::kOutOfMemory, "out of memory");
  const bool scan = text && r.decoder == GtDecoder::kTextScan && !r.site_codes &&
                    !(kept != nullptr && form == KeptForm::kRecord);
  const int32_t samples = static_cast<int32_t>(r.sample_ids.size());
  block.code_samples = r.site_codes ? samples : 0;
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
      // Lines read a block at a time are the block's bytes: htslib parses
      // (and cuts up) a copy of its own.
      bool copied = true;
      if (text && r.text_line.data() != r.line.s.s) {
        r.line.s.l = 0;
        copied = kputsn(r.text_line.data(), r.text_line.size(), &r.line.s) >= 0;
      }
      if (text && (!copied || vcf_parse(&r.line.s, r.in.header.get(), r.record.get()) < 0))
        fault = {RecordProblem::kUnreadable, -1, 0, 0};
      else
        fault = decode_htslib_record(r.in.header.get(), r.record.get(), r.gt, r.alt_text,
                                     r.calls.data(), s, largest,
                                     r.site_codes ? nullptr : &packed);
    }
    // Packed GT is counted as it is; a call naming an allele beyond the
    // site's is found again through the calls, to name its sample.
    if (packed != nullptr) {
      counted = dense_count_fits(s.n_allele, r.pops) &&
                count_packed_gt(s, packed, r.pops, r.tally) < s.n_allele;
      if (!counted)
        fault = decode_htslib_record(r.in.header.get(), r.record.get(), r.gt, r.alt_text,
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
    if (kept != nullptr && text && form == KeptForm::kRecord && header_grew(r)) {
      r.done = true;
      VcfFailure f = record_failure(r, {RecordProblem::kUnreadable, -1, 0, 0}, s);
      f.reason = "the record uses a contig, INFO, FILTER or FORMAT key that the header does "
                 "not declare, which a BCF copy needs declared (declare it, or write VCF text)";
      clear_site_block(block);
      return f;
    }
    const size_t units_before = block.units.size();
    const SiteKind kind = site_kind(r, s);
    const bool sexes = r.sex_entries != nullptr;
    if (sexes && (kind == SiteKind::kY || kind == SiteKind::kMito)) {
      ++r.sex_notes.left_out;
      if (kept != nullptr && !keep_record(r, block, units_before, *kept)) {
        r.done = true;
        return out_of_memory;
      }
      continue;
    }
    const bool by_sex = kind == SiteKind::kXNonPar;
    r.sex_notes.x_sites += by_sex;
    s.record = r.regions.empty() ? (text ? r.in.header_lines + r.records : r.records) : 0;
    uint64_t prefix = 0;
    uint32_t occurrence = note_occurrence(r.identical, s.chrom, s.pos, s.ref, s.alt, prefix);
    if (sexes && by_sex) {
      // Read again with the haploid calls: X sites are few beside the rest.
      if (scan) {
        VcfTextFields again;
        LargestAllele same;
        scan_sex_linked_vcf_line(r.text_line.data(), r.text_line.size(),
                                 static_cast<int32_t>(r.sample_ids.size()), again, r.calls.data(),
                                 same);
      } else {
        decode_sex_linked_calls(r.in.header.get(), r.record.get(), r.gt, r.calls.data());
      }
      add_sex_linked_site_units(s, r.calls.data(), r.pops, prefix, occurrence, r.sex_tally, block);
      if (kept != nullptr && !keep_record(r, block, units_before, *kept)) {
        r.done = true;
        return out_of_memory;
      }
      continue;
    }
    if (!counted) count_calls(s, r.calls.data(), r.pops, r.tally);
    add_site_units(s, r.pops, prefix, occurrence, r.tally, block);
    if (kept != nullptr && !keep_record(r, block, units_before, *kept)) {
      r.done = true;
      return out_of_memory;
    }
    if (r.site_codes) {
      const size_t at = block.codes.size();
      block.codes.resize(at + static_cast<size_t>(samples), kMissingCode);
      if (s.has_gt) codes_from_calls(r.calls.data(), samples, block.codes.data() + at);
    }
  }
  return {};
}
