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
#include <memory>
#include <vector>

#include "sites/site_block.h"
#include "vcf/sample_populations.h"
#include "vcf/vcf_failure.h"
#include "vcf/vcf_region.h"

enum class GtDecoder { kTextScan, kHtslib };

struct VcfReadOptions {
  std::vector<VcfRegion> regions;           // empty: the whole file
  const std::vector<PopsEntry>* pops = nullptr;  // null: every sample in "all"
  int threads = 0;                          // extra BGZF decompression threads
  GtDecoder decoder = GtDecoder::kTextScan;
};

// An open file and everything its reading needs between blocks (htslib's
// handles and iterators, the regions left, the scan's buffers), kept out of
// sight in vcf_reader.cpp.
struct VcfReaderState;

struct VcfReader {
  VcfReader();
  ~VcfReader();
  VcfReader(VcfReader&&) noexcept;
  VcfReader& operator=(VcfReader&&) noexcept;
  std::unique_ptr<VcfReaderState> state;
};

// The populations of an opened file: their names (index = population), and
// the --pops IDs that are no sample of it.
const SamplePopulations& reader_populations(const VcfReader& reader);

// Opens the file, reads its header, assigns the populations and, with
// regions, loads the index. The unknown IDs of --pops are in reader.pops.
VcfFailure open_vcf(const char* path, const VcfReadOptions& options, VcfReader& reader);

// Clears the block and fills it with up to max_sites sites (at least 1).
// An empty block with an ok result is the end of the file.
VcfFailure read_site_block(VcfReader& reader, SiteBlock& block, size_t max_sites);
