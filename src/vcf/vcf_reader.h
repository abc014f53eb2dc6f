// Reads the sites of one VCF (plain, gzip or bgzip) or BCF file, or of
// standard input ("-"), block by block, as units per population
// (site_block.h). Every byte is read once, so a pipe gives what the file
// gives; a BGZF stream that ends without the end-of-file marker is an error
// (vcf_file.h tells what is checked before the first record).
//
// VCF text goes through the genotype-only scan (gt_text_scan.h) unless the
// options ask for htslib's full parser, which decodes every field and serves
// to check the scan. BCF records are read by htslib. With regions, only the
// records whose POS lies in a region are read, through the file's index;
// records that merely overlap a region are left out, so that regions tiling a
// contig never give a site twice; overlapping regions are joined first
// (merge_regions). A region on a contig the file does not know matches
// nothing: when no region names one of its contigs the file fails
// (kNoContig, naming the file's contigs); otherwise the names are in
// reader_notes(reader) for a warning.
//
// With the samples' sexes, the sites on X outside the pseudo-autosomal
// regions (sex/chromosome.h) are counted by sex (sex_tally.h) and the sites
// on Y and the mitochondria are left out; without them every site is
// counted as an autosome's. Either way the reader counts what it met
// (reader_sex_notes), for the front end to say once per file.
//
// Every failure comes back as a VcfFailure; after one the reader is spent.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "sex/chromosome.h"
#include "sex/sex_file.h"
#include "sites/site_block.h"
#include "vcf/kept_records.h"
#include "vcf/sample_populations.h"
#include "vcf/vcf_failure.h"
#include "vcf/vcf_region.h"

enum class GtDecoder { kTextScan, kHtslib };

struct VcfReadOptions {
  std::vector<VcfRegion> regions;           // empty: the whole file
  const std::vector<PopsEntry>* pops = nullptr;  // null: every sample in "all"
  int threads = 0;                          // extra BGZF decompression threads
  GtDecoder decoder = GtDecoder::kTextScan;
  // Every site's calls as codes in the block (SiteBlock::codes), for the
  // structure-robust test; the calls are then decoded by htslib.
  bool site_codes = false;
  const std::vector<SexEntry>* sexes = nullptr;  // null: sexes unknown
  ParBuild par = kDefaultParBuild;
  // Every record read kept beside the block (kept_records.h), to be written
  // again. kRecord on VCF text parses each line with htslib, and a line
  // that uses a contig, INFO, FILTER or FORMAT key its header does not
  // declare fails: its record could not be written as BCF.
  KeptForm keep = KeptForm::kNone;
};

// The sites met so far that sex concerns, and with sexes, the samples'.
struct VcfSexNotes {
  SampleSexes sexes;         // with sexes: of the file's samples
  uint64_t x_sites = 0;      // on X outside the pseudo-autosomal regions
  uint64_t left_out = 0;     // with sexes: on Y or the mitochondria, not read
};

// What the front end may warn about once the file is open.
struct VcfOpenNotes {
  std::string older_index;                  // the index, when older than its data
  std::vector<std::string> absent_contigs;  // region contigs the file does not know
  std::vector<std::string> contigs;         // the file's, when some are absent
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
// What the front end may warn about once the file is open.
const VcfOpenNotes& reader_notes(const VcfReader& reader);
// The header's sample IDs, in column order.
const std::vector<std::string>& reader_sample_ids(const VcfReader& reader);

const VcfSexNotes& reader_sex_notes(const VcfReader& reader);

// Opens the file, reads its header, assigns the populations and, with
// regions, loads the index. The unknown IDs of --pops are in
// reader_populations(reader).unknown.
VcfFailure open_vcf(const char* path, const VcfReadOptions& options, VcfReader& reader);

// Clears the block and fills it with up to max_sites sites (at least 1).
// An empty block with an ok result is the end of the file. With `kept`
// (and VcfReadOptions::keep), it is cleared and gets the records read for
// the block, and at the end those after the last site.
VcfFailure read_site_block(VcfReader& reader, SiteBlock& block, size_t max_sites,
                           KeptRecords* kept = nullptr);
