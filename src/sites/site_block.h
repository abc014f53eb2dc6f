// A block of variant sites as a reader hands them over (VCF and BCF files
// today; any reader of sites may fill one): for every site its identifying
// text, and for every population of the site one unit with its genotype
// counts over the alleles present there.
//
// Nothing is allocated per site: the block's arrays keep their capacity from
// one fill to the next. A unit's counts are the upper triangle over its k
// alleles, genotype (i, j), i <= j, at i*k + j - i*(i+1)/2, as ExactSample
// takes them; its alleles say which original allele (0 = REF, 1 = first ALT,
// ...) each of the k indices is, in increasing order.
//
// A site on X outside the pseudo-autosomal regions, read with the samples'
// sexes, is counted by sex: its units' genotype counts are the females'
// alone (males and samples of unknown sex are not in n or missing), and
// each unit has, over all n_allele alleles of the site, the copies its
// males carry, with the males counted and their heterozygous error calls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct VariantSite {
  uint32_t text = 0;  // offset of the site's text in SiteBlock::text
  uint32_t chrom_length = 0, id_length = 0, ref_length = 0, alt_length = 0;
  int64_t pos = 0;          // 1-based
  int32_t n_allele = 0;     // REF + ALT alleles
  bool has_gt = false;      // false: every unit of the site is NA
  uint64_t record = 0;      // line (VCF text) or record number (BCF); 0 through an index
  uint32_t first_unit = 0;  // units [first_unit, first_unit + populations)
  bool by_sex = false;      // counted by sex: females' genotypes, males' copies
};

struct SiteUnit {
  uint32_t site = 0;       // index into SiteBlock::sites
  int32_t population = 0;  // index into the reader's population names
  int32_t k = 0;           // alleles present among the counted genotypes
  int32_t n = 0;           // individuals with a counted (diploid, known) call
  int32_t missing = 0;     // individuals of the population not counted
  uint32_t counts = 0;     // offset of k(k+1)/2 counts in SiteBlock::counts
  uint32_t alleles = 0;    // offset of k allele numbers in SiteBlock::alleles
  uint64_t key = 0;        // site_unit_key (site_key.h)
  // A site counted by sex: males with a counted call, their heterozygous
  // calls (counted as missing), and the offset of n_allele copy counts in
  // SiteBlock::male_copies.
  int32_t males = 0;
  int32_t male_het = 0;
  uint32_t male_copies = 0;
};

struct SiteBlock {
  std::vector<VariantSite> sites;
  std::vector<SiteUnit> units;
  std::vector<int32_t> counts;
  std::vector<int32_t> alleles;
  std::vector<int32_t> male_copies;  // of the units of sites counted by sex
  std::string text;  // chrom, id, ref, alt of each site, back to back
  // Where the reader was asked for them: every site's calls as one code a
  // sample (structure/genotype_codes.h: the ALT count of a biallelic call,
  // else missing), code_samples of them per site, site after site.
  std::vector<uint8_t> codes;
  int32_t code_samples = 0;
};

inline void clear_site_block(SiteBlock& b) {
  b.sites.clear();
  b.units.clear();
  b.counts.clear();
  b.alleles.clear();
  b.male_copies.clear();
  b.text.clear();
  b.codes.clear();
}

inline const uint8_t* site_codes(const SiteBlock& b, size_t site) {
  return b.codes.data() + site * static_cast<size_t>(b.code_samples);
}

inline std::string_view site_chrom(const SiteBlock& b, const VariantSite& s) {
  return std::string_view(b.text).substr(s.text, s.chrom_length);
}
inline std::string_view site_id(const SiteBlock& b, const VariantSite& s) {
  return std::string_view(b.text).substr(s.text + s.chrom_length, s.id_length);
}
inline std::string_view site_ref(const SiteBlock& b, const VariantSite& s) {
  return std::string_view(b.text).substr(s.text + s.chrom_length + s.id_length, s.ref_length);
}
// The ALT column as written ("." when the site has none).
inline std::string_view site_alt(const SiteBlock& b, const VariantSite& s) {
  return std::string_view(b.text).substr(s.text + s.chrom_length + s.id_length + s.ref_length,
                                         s.alt_length);
}
inline const int32_t* unit_counts(const SiteBlock& b, const SiteUnit& u) {
  return b.counts.data() + u.counts;
}
inline const int32_t* unit_male_copies(const SiteBlock& b, const SiteUnit& u) {
  return b.male_copies.data() + u.male_copies;
}
inline const int32_t* unit_alleles(const SiteBlock& b, const SiteUnit& u) {
  return b.alleles.data() + u.alleles;
}
