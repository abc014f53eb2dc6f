#include "vcf/site_block.h"

void clear_site_block(SiteBlock& b) {
  b.sites.clear();
  b.units.clear();
  b.counts.clear();
  b.alleles.clear();
  b.text.clear();
}
