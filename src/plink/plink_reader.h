// Reads a PLINK 1 binary fileset (.bed, .bim, .fam) block by block as units
// per population, in the VCF reader's block record (vcf/site_block.h), so
// that a variant looks exactly like the site plink2 writes for it when it
// exports the fileset as VCF: CHROM as plink_chrom.h names it, REF = A2
// (allele 0; "N" when the .bim gives none), ALT = A1 (allele 1; "." when the
// .bim gives none, and the site has the one allele), genotypes 0/0 (11),
// 0/1 (10) and 1/1 (00), and the keys of site_key.h. A site's record
// number (VariantSite::record) is its .bim line. Variants with a negative
// position are left out, as PLINK and its export leave them out (their number
// is index.left_out, for the front end to say).
//
// Populations are the --pops entries named by the .fam's sample names, the
// controls and cases of its phenotype column, or every sample in "all". With
// regions, only the variants whose position lies in a region are read, region
// by region in the order given and in file order within one, and of the .bed
// only their bytes. Memory is the .bim's index (bim_file.h) and one block.
//
// X outside its pseudo-autosomal regions is counted by sex once set_x_rule
// gave the rule (which X sites those are, and each sample's sex): the unit
// then holds the females' genotypes alone (n: females with a call, missing:
// those without), and the block's SexSplit every sex's codes for the sex
// rules to use.
//
// Every failure comes back as a PlinkFailure; after one the reader is spent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "plink/bed_file.h"
#include "plink/bim_file.h"
#include "plink/fam_file.h"
#include "plink/genotype_codes.h"
#include "plink/plink_failure.h"
#include "plink/text_file.h"
#include "sites/site_key.h"
#include "vcf/sample_populations.h"
#include "sites/site_block.h"
#include "vcf/site_tally.h"
#include "vcf/vcf_region.h"

struct PlinkPaths {
  std::string bed, bim, fam;
};

// PREFIX.bed, PREFIX.bim and PREFIX.fam.
PlinkPaths plink_fileset(std::string_view prefix);

struct PlinkReadOptions {
  std::vector<VcfRegion> regions;                // empty: every variant
  const std::vector<PopsEntry>* pops = nullptr;  // samples named as FamFile::names
  bool by_phenotype = false;                     // "control" and "case" (not with pops)
  bool site_codes = false;                       // fill SiteBlock::codes (bed_site_codes.h)
};

// Whether a site of chromosome X (kind kX; the name is "X") lies outside the
// pseudo-autosomal regions.
using XNonPar = std::function<bool(std::string_view chrom, int64_t pos)>;

// A unit's samples on an X site outside the pseudo-autosomal regions, by sex.
struct SexSplit {
  CodeCounts male, female;
  int32_t unknown = 0;  // samples of unknown sex in the population, left out
};

struct PlinkSite {
  uint64_t variant = 0;  // 0-based, in the .bed
  PlinkChromKind kind = PlinkChromKind::kOther;
  bool x_non_par = false;  // counted by sex
};

struct PlinkBlock {
  SiteBlock block;
  std::vector<PlinkSite> sites;  // per site of block
  std::vector<SexSplit> sex;     // per unit of block; all zero off x_non_par sites
};

struct PlinkPending {
  uint64_t variant = 0, line = 0;
  int64_t pos = 0;
  PlinkChromKind kind = PlinkChromKind::kOther;
  uint32_t text = 0;  // chrom, id, ref, alt back to back in PlinkReader::text
  uint32_t chrom_length = 0, id_length = 0, ref_length = 0, alt_length = 0;
  bool one_allele = false;  // A1 is no allele
};

struct PlinkReader {
  PlinkPaths paths;
  FamFile fam;
  BimIndex index;
  BedFile bed;
  SamplePopulations pops;
  SampleGroups groups;    // per population
  SampleGroups everyone;  // one group of every sample

  // The sex rule, once set.
  XNonPar x_non_par;
  SampleGroups x_groups;             // per population: its males, then its females
  std::vector<int32_t> unknown_sex;  // per population

  // The .bim read again, line by line, from the start or a region's run.
  TextFile bim;
  uint64_t next_variant = 0;  // of the next line
  std::vector<VcfRegion> regions;
  size_t next_region = 0;
  std::vector<size_t> region_runs;  // the current region's runs
  size_t next_run = 0;
  bool in_run = false;
  uint64_t run_end = 0;

  std::vector<PlinkPending> pending;  // the block's variants
  std::string text;
  std::vector<uint8_t> chunk;  // .bed bytes of consecutive variants
  uint64_t bed_bytes_read = 0;
  std::vector<CodeCounts> counts, x_counts;
  TallyWorkspace tally;

  // Identical records: those met at the current chrom and pos so far.
  IdenticalRecords identical;

  bool site_codes = false;
  bool done = false;
};

int32_t population_count(const PlinkReader& r);

// Reads the .fam and the .bim's index, checks the .bed against them and
// assigns the populations. The unknown IDs of --pops are in reader.pops.
PlinkFailure open_plink(const PlinkPaths& paths, const PlinkReadOptions& options,
                        PlinkReader& reader);

// Counts X outside the pseudo-autosomal regions by sex from now on: sex holds
// one entry per .fam sample (fam_sexes gives column 5's).
PlinkFailure set_x_rule(PlinkReader& reader, const std::vector<FamSex>& sex, XNonPar x_non_par);

// Clears the block and fills it with up to max_sites sites (at least 1).
// An empty block with an ok result is the end of the file.
PlinkFailure read_plink_block(PlinkReader& reader, PlinkBlock& block, size_t max_sites);
