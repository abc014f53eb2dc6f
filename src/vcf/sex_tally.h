// The counting of a site on X outside the pseudo-autosomal regions when the
// samples' sexes are known (site_block.h): per population the females'
// genotypes as any site's counts, and the males' copies by the rule of one
// male call (sex/male_call.h). Samples of unknown sex are left out. Any
// reader of sites that hands over calls in the form of gt_calls.h, with
// haploid calls as (allele, kHaploidCall), can count its X sites here.
#pragma once

#include <cstdint>
#include <vector>

#include "sex/sex_file.h"
#include "sites/site_block.h"
#include "vcf/sample_populations.h"
#include "vcf/site_tally.h"

struct SexTally {
  std::vector<Sex> of_sample;
  SamplePopulations females;  // the populations with their females alone
  std::vector<int32_t> female_calls;
  TallyWorkspace work;
};

// Made once per file from its populations and the sexes of its samples
// (one per sample, in column order).
void prepare_sex_tally(const SamplePopulations& pops, const std::vector<Sex>& of_sample,
                       SexTally& tally);

// Appends the site counted by sex and its units to the block, as
// add_site_units does for any site (calls: 2 per sample).
void add_sex_linked_site_units(const SiteText& site, const int32_t* calls,
                               const SamplePopulations& pops, uint64_t key_prefix,
                               uint32_t occurrence, SexTally& tally, SiteBlock& block);
