// Turns one record's calls into a unit per population: the genotype counts
// over the alleles present among that population's counted genotypes.
//
// The calls are counted into a table per population over every allele of
// the site while those tables stay small (dense_count_fits); a site with
// many alleles, or a run with many populations, is counted sparsely
// instead, each population over the alleles its calls name, so that memory
// and time follow the alleles present, not the ALT list.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "sites/site_block.h"
#include "vcf/gt_calls.h"
#include "vcf/sample_populations.h"

// Scratch space kept from site to site so that tallying allocates nothing
// once it has seen the largest site.
struct TallyWorkspace {
  std::vector<int32_t> cells;    // per population, the triangle over all alleles
  std::vector<int32_t> counted;  // per population
  std::vector<int32_t> rank;     // per allele: compact index or -1
  std::vector<int32_t> copies;   // the packed count's tables, before they are summed
  std::vector<int32_t> slot;     // per sample: its population, or the one after the last
  const SamplePopulations* slot_of = nullptr;  // the populations slot was made for

  // The sparse count: per population its alleles present, ascending, and
  // the triangle of counts over them (offsets per population + 1).
  bool sparse = false;
  std::vector<uint32_t> sparse_allele_first, sparse_count_first;
  std::vector<int32_t> sparse_alleles, sparse_counts;
  std::vector<int32_t> sparse_rank;             // per allele: -1 between sites
  std::vector<uint32_t> members, member_first;  // samples grouped by population
  const SamplePopulations* members_of = nullptr;
  std::vector<int32_t> calls;  // a wide record's calls, written down to count them
};

// Whether the per-population tables over n_allele alleles are small enough
// to count into (count_packed_gt and the counting below need them).
bool dense_count_fits(int32_t n_allele, const SamplePopulations& pops);

struct SiteText {
  std::string_view chrom, id, ref, alt;
  int64_t pos = 0;
  int32_t n_allele = 0;
  bool has_gt = false;
  uint64_t record = 0;
};

// Counts the record's calls (2 per sample, gt_calls.h, none naming an
// allele beyond the site's) per population: into work.cells and
// work.counted when dense_count_fits, else sparsely (work.sparse).
void count_calls(const SiteText& site, const int32_t* calls, const SamplePopulations& pops,
                 TallyWorkspace& work);

// Counting the calls one at a time, as a decoder meets them, without
// writing them down first: start_counting, count_call per counted call,
// finish_counting (which fills work.cells and work.counted). The calls
// are counted into four copies of a table per population laid out by the
// larger allele, hi (hi + 1) / 2 + lo, whose place needs no allele count;
// a call naming an allele beyond the site's goes to a cell of its own (the
// record is at fault anyway).
inline constexpr size_t kCountCopies = 4;

struct CallCounter {
  int32_t* copies = nullptr;
  const int32_t* slot = nullptr;  // per sample: its population, or one past the last
  size_t width = 0;               // cells per population: not counted, the genotypes, beyond
  size_t tables = 0;              // one copy's cells
  int32_t n_allele = 0;
};

CallCounter start_counting(int32_t n_allele, const SamplePopulations& pops, TallyWorkspace& work);

inline void count_call(const CallCounter& c, size_t sample, int32_t lo, int32_t hi) {
  const size_t cell = hi < c.n_allele
                          ? static_cast<size_t>(hi) * (static_cast<size_t>(hi) + 1) / 2 +
                                static_cast<size_t>(lo) + 1
                          : c.width - 1;
  ++c.copies[(sample % kCountCopies) * c.tables + static_cast<size_t>(c.slot[sample]) * c.width + cell];
}

void finish_counting(int32_t n_allele, const SamplePopulations& pops, TallyWorkspace& work);

// The same straight from diploid GT as BCF stores it in 8 bits per allele
// (two values per sample, (allele + 1) << 1 | phased, 0 for '.', and the
// missing and vector-end values), in one pass without calls; only where
// dense_count_fits. Gives the
// largest allele index any call names (-1 when none); when that is not
// below site.n_allele the counts are meaningless and the record is at fault.
int32_t count_packed_gt(const SiteText& site, const uint8_t* gt, const SamplePopulations& pops,
                        TallyWorkspace& work);

// Appends the site and, from the counts in work, its units to the block.
// key_prefix is the site's hash over chrom, pos, ref and alt (site_key.h),
// occurrence its number among identical records.
void add_site_units(const SiteText& site, const SamplePopulations& pops, uint64_t key_prefix,
                    uint32_t occurrence, TallyWorkspace& work, SiteBlock& block);
