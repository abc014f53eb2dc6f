// Turns one record's calls into a unit per population: the genotype counts
// over the alleles present among that population's counted genotypes.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "vcf/gt_calls.h"
#include "vcf/sample_populations.h"
#include "vcf/site_block.h"

// Scratch space kept from site to site so that tallying allocates nothing
// once it has seen the largest site.
struct TallyWorkspace {
  std::vector<int32_t> cells;    // per population, the triangle over all alleles
  std::vector<int32_t> counted;  // per population
  std::vector<int32_t> rank;     // per allele: compact index or -1
};

struct SiteText {
  std::string_view chrom, id, ref, alt;
  int64_t pos = 0;
  int32_t n_allele = 0;
  bool has_gt = false;
  uint64_t record = 0;
};

// Appends the site and its units to the block. key_prefix is the site's
// hash over chrom, pos, ref and alt (site_key.h), occurrence its number
// among identical records. calls: 2 per sample (gt_calls.h).
void tally_site(const SiteText& site, const int32_t* calls, const SamplePopulations& pops,
                uint64_t key_prefix, uint32_t occurrence, TallyWorkspace& work, SiteBlock& block);
