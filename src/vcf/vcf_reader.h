// Reads the sites of one VCF (plain or bgzip) or BCF file, block by block,
// as units per population (site_block.h).
//
// VCF text goes through the genotype-only scan (gt_text_scan.h) unless the
// options ask for htslib's full parser, which decodes every field and serves
// to check the scan. BCF records are read by htslib. With regions, only the
// records whose POS lies in a region are read, through the file's index;
// records that merely overlap a region are left out, so that regions tiling a
// contig never give a site twice.
//
// Every failure comes back as a VcfFailure; after one the reader is spent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vcf/hts_handles.h"
#include "vcf/htslib_record.h"
#include "vcf/sample_populations.h"
#include "vcf/site_block.h"
#include "vcf/site_tally.h"
#include "vcf/text_lines.h"
#include "vcf/vcf_failure.h"
#include "vcf/vcf_region.h"

enum class GtDecoder { kTextScan, kHtslib };

struct VcfReadOptions {
  std::vector<VcfRegion> regions;           // empty: the whole file
  const std::vector<PopsEntry>* pops = nullptr;  // null: every sample in "all"
  int threads = 0;                          // extra BGZF decompression threads
  GtDecoder decoder = GtDecoder::kTextScan;
};

struct VcfReader {
  bool bcf = false;
  GtDecoder decoder = GtDecoder::kTextScan;
  HtsFile file;
  BcfHeader header;
  BcfRecord record;
  std::vector<std::string> sample_ids;
  SamplePopulations pops;

  std::vector<VcfRegion> regions;
  size_t next_region = 0;
  HtsIndex index;     // BCF
  TabixIndex tabix;   // VCF text
  HtsIterator iterator;

  OwnedKstring line;     // a line of VCF text, as htslib reads it
  TextLines text_lines;  // or as read in chunks (the scan, bgzipped, no regions)
  bool chunked_lines = false;
  std::string_view text_line;  // the current line, in one or the other
  std::string alt_text;       // ALT joined, for records htslib decoded
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

int32_t population_count(const VcfReader& r);

// Opens the file, reads its header, assigns the populations and, with
// regions, loads the index. The unknown IDs of --pops are in reader.pops.
VcfFailure open_vcf(const char* path, const VcfReadOptions& options, VcfReader& reader);

// Clears the block and fills it with up to max_sites sites (at least 1).
// An empty block with an ok result is the end of the file.
VcfFailure read_site_block(VcfReader& reader, SiteBlock& block, size_t max_sites);
