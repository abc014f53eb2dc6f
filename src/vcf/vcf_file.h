// A VCF (plain, gzip or BGZF) or BCF file opened for reading, its header
// read, and with an index when one is asked for; every file is read once,
// from the handle opened here.
//
// Before anything is read: a compression htslib cannot read (bzip2, xz,
// zstd) is refused; a BGZF file without the end-of-file marker is refused
// as truncated; on a stream (standard input, a pipe), where the marker
// cannot be looked for in advance, the reader looks for it at the end
// (bgzf_stream_ended). A stream cannot be read through an index.
//
// With an index: it must cover the file, no more and no less. The data past
// the last record the index knows of must be empty (else sites were added
// after it was made), and the index must not point beyond the data (else it
// is another file's, or the file was cut). An index older than its data (by
// the files' times, to the second) is noted, for a warning.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vcf/hts_handles.h"
#include "vcf/vcf_failure.h"

struct VcfFile {
  HtsFile file;
  BcfHeader header;
  bool bcf = false;
  bool bgzf = false;           // BGZF-compressed (VCF text or BCF)
  bool compressed = false;     // gzip or BGZF: read through htslib's BGZF reader
  bool stream = false;         // standard input, a pipe, a device
  bool eof_unchecked = false;  // BGZF's end-of-file marker is looked for at the end
  uint64_t header_lines = 0;   // VCF text: lines before the first record, blank ones too

  HtsIndex index;            // BCF
  TabixIndex tabix;          // VCF text
  std::string index_path;    // the index file read
  bool index_older = false;  // its time is before the data's
};

struct VcfOpenOptions {
  bool index = false;  // load the index and check it (needs a file, not a stream)
  // What needs the index, for the message when there is none: "--region",
  // "listing regions".
  const char* index_purpose = "--region";
  int threads = 0;  // extra BGZF decompression threads (a file only)
};

VcfFailure open_vcf_file(const char* path, const VcfOpenOptions& options, VcfFile& file);

// The index of an opened file (null without one).
hts_idx_t* file_index(const VcfFile& file);

// False when the BGZF data ended before its end-of-file marker, which only
// a stream can, or when the last read failed.
bool bgzf_stream_ended(const VcfFile& file);

// Why a read of the compressed data failed (a damaged or cut block), or a
// failure without a status when the data read well (the record is at
// fault). `after` tells the place: "after line 12", "in region chr1:1-10".
VcfFailure compressed_data_failure(const VcfFile& file, const std::string& after);

// The contig names the index has records for, in its order.
std::vector<std::string> indexed_contigs(const VcfFile& file);

// Whether the file knows the contig, by its header or its index.
bool file_has_contig(const VcfFile& file, const std::string& chrom);

// "1, 2, X" for up to `most` names (escaped), then ", ... (25 in all)".
std::string contig_list_text(const std::vector<std::string>& names, size_t most = 8);
