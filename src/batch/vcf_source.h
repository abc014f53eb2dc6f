// VCF and BCF files as a batch input: one unit per population at every site,
// identified by the file, the site (chrom, pos, id, ref, alt) and the
// population, with the individuals not counted in `missing`. A site without
// GT, or with fewer than two alleles among its counted genotypes, is an NA
// row. Each unit's random draws are keyed by the site's identity
// (site_unit_key), so a site gives the same figures in a region read as in
// the whole file.
//
// The settings are the run's: --pops is read once, before any file; the
// unknown IDs of --pops are warned about once per run.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "batch/unit_source.h"
#include "vcf/sample_populations.h"
#include "vcf/vcf_region.h"

struct VcfRunSettings {
  const char* program = "hwmc";
  std::vector<VcfRegion> regions;
  bool has_pops = false;
  std::string pops_path;
  std::vector<PopsEntry> pops;
  int decode_threads = 0;          // extra BGZF decompression threads
  bool warned_unknown_ids = false;
};

// The run's settings from the options: false after telling why (a --region
// that is no region (vcf_region.h), a --pops file that cannot be read or names an
// ID twice); `usage` says whether it was the command line's fault.
bool prepare_vcf_run(const BatchOptions& options, const char* program, VcfRunSettings& settings,
                     bool& usage);

InputKind vcf_input(std::shared_ptr<VcfRunSettings> settings);

// --list-regions: n regions per file, one per line on standard output.
// The exit status.
int list_vcf_regions(const std::vector<char*>& files, uint32_t n, const char* program);
