// An annotated copy of a VCF or BCF file: the input's header with more INFO
// tags (each one Float) and a FILTER declared, then every record the reader
// kept (kept_records.h) with all its fields as read, the tags' values added
// (a tag without a value is left out) and the FILTER set or cleared.
//
// A tag the input carries already is replaced: its values are taken out of
// every record, so a copy annotated again holds each tag once. The input
// may declare it only as the copy does (one Float). The FILTER is added to
// a record's filters (PASS goes) or taken out of them (PASS where none is
// left), or left alone.
//
// VCF text is copied line by line: only FILTER and INFO change, and values
// are written as the shortest decimal that reads back as the same float.
// BCF is written through htslib from the records as read, with FORMAT
// untouched. A bgzipped or BCF copy gets its index from htslib once closed.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vcf/hts_handles.h"
#include "vcf/kept_records.h"

enum class CopyFormat { kVcf, kVcfBgzf, kBcf };

// By the name's ending: ".bcf"; ".vcf.gz" or ".vcf.bgz" (bgzipped VCF);
// ".vcf"; "-" is VCF text on standard output. None for any other name.
std::optional<CopyFormat> copy_format_of(std::string_view path);

// How the reader keeps the records of VCF text for the copy.
KeptForm kept_form_for(CopyFormat format);

// The index htslib writes beside a copy: ".tbi" (bgzipped VCF) or ".csi"
// (BCF); empty for plain VCF.
std::string copy_index_suffix(CopyFormat format);

struct CopyTag {
  std::string key;  // a valid INFO key
  std::string description;
};

struct CopyPlan {
  std::vector<CopyTag> tags;  // INFO, Number=1, Type=Float
  std::string filter;         // set or cleared by FilterMark; empty: none
  std::string filter_description;
  std::vector<std::string> header_lines;  // further "##key=value" lines
};

enum class FilterMark { kLeave, kClear, kSet };

// The record's INFO column with the tags (values NaN: left out) after what
// it held but their old values, and its FILTER column marked; the line
// without its line feed. keys[i] goes with values[i].
void annotate_vcf_line(std::string_view line, std::span<const std::string> keys,
                       const float* values, std::string_view filter, FilterMark mark,
                       std::string& out);

// A copy being written: htslib's handle, its header, the keys, the buffers.
struct VcfCopyState;

struct VcfCopy {
  VcfCopy();
  ~VcfCopy();
  VcfCopy(VcfCopy&&) noexcept;
  VcfCopy& operator=(VcfCopy&&) noexcept;
  std::unique_ptr<VcfCopyState> state;
};

// Opens the copy on `fd` (taken over, closed with the copy; -1: standard
// output) and writes its header; `threads` more threads compress it.
// Returns the reason of a failure, empty when the copy is open.
std::string open_vcf_copy(int fd, CopyFormat format, const bcf_hdr_t* input_header,
                          const CopyPlan& plan, int threads, VcfCopy& copy);

// Writes the i-th kept record with one value per tag of the plan (NaN:
// none). Returns the reason of a failure, empty when written.
std::string write_copy_record(VcfCopy& copy, KeptRecords& kept, size_t i, const float* values,
                              FilterMark mark);

// Flushes and closes the copy. Returns the reason of a failure, or empty.
std::string close_vcf_copy(VcfCopy& copy);

// The index of the closed copy at `data`, written to `index` (TBI for
// bgzipped VCF, CSI for BCF).
// Returns the reason of a failure, or empty.
std::string index_vcf_copy(const std::string& data, const std::string& index, CopyFormat format,
                           int threads);
