// Test files for the VCF reader: plain text, bgzip with a tabix index, and
// BCF with a CSI index, all made with htslib so that no peer tool is needed;
// and the reader's output flattened for comparisons.
#pragma once

#include <gtest/gtest.h>
#include <htslib/bgzf.h>
#include <htslib/tbx.h>
#include <htslib/vcf.h>

#include <cstdint>
#include <string>
#include <vector>

#include "report/temp_dir.h"
#include "vcf/vcf_reader.h"

inline bool bgzip_to(const std::string& text, const std::string& path) {
  BGZF* out = bgzf_open(path.c_str(), "w");
  if (!out) return false;
  bool ok = bgzf_write(out, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  return bgzf_close(out) == 0 && ok;
}

// name.vcf, name.vcf.gz (+ .tbi) and name.bcf (+ .csi) of the same text.
struct VcfTriple {
  std::string vcf, gz, bcf;
};

inline bool convert_to_bcf(const std::string& from, const std::string& to) {
  htsFile* in = hts_open(from.c_str(), "r");
  if (!in) return false;
  bcf_hdr_t* h = bcf_hdr_read(in);
  htsFile* out = hts_open(to.c_str(), "wb");
  bcf1_t* r = bcf_init();
  bool ok = h && out && bcf_hdr_write(out, h) == 0;
  while (ok && bcf_read(in, h, r) == 0) ok = bcf_write(out, h, r) == 0;
  bcf_destroy(r);
  if (out) hts_close(out);
  if (h) bcf_hdr_destroy(h);
  hts_close(in);
  return ok && bcf_index_build(to.c_str(), 14) == 0;
}

inline VcfTriple make_vcf_triple(const TempDir& dir, const std::string& name, const std::string& text) {
  VcfTriple t{dir.write(name + ".vcf", text), dir.file(name + ".vcf.gz"), dir.file(name + ".bcf")};
  EXPECT_TRUE(bgzip_to(text, t.gz));
  EXPECT_EQ(tbx_index_build(t.gz.c_str(), 0, &tbx_conf_vcf), 0);
  EXPECT_TRUE(convert_to_bcf(t.vcf, t.bcf)) << "htslib would not write " << t.bcf;
  return t;
}

// One unit as plain values.
struct FlatUnit {
  std::string chrom, id, ref, alt, population;
  int64_t pos = 0;
  int32_t k = 0, n = 0, missing = 0;
  bool has_gt = false;
  std::vector<int32_t> counts, alleles;
  uint64_t key = 0;
  bool operator==(const FlatUnit&) const = default;
};

inline FlatUnit flat_unit(const SiteBlock& block, const SiteUnit& u, const std::string& population) {
  const VariantSite& s = block.sites[u.site];
  FlatUnit f;
  f.chrom = site_chrom(block, s);
  f.id = site_id(block, s);
  f.ref = site_ref(block, s);
  f.alt = site_alt(block, s);
  f.population = population;
  f.pos = s.pos;
  f.k = u.k;
  f.n = u.n;
  f.missing = u.missing;
  f.has_gt = s.has_gt;
  f.counts.assign(unit_counts(block, u), unit_counts(block, u) + u.k * (u.k + 1) / 2);
  f.alleles.assign(unit_alleles(block, u), unit_alleles(block, u) + u.k);
  f.key = u.key;
  return f;
}

struct FlatRead {
  VcfFailure failure;
  std::vector<FlatUnit> units;
  std::vector<std::string> unknown;  // --pops IDs missing from the file
  VcfOpenNotes notes;
};

inline FlatRead read_flat(const std::string& path, VcfReadOptions options = {},
                          size_t block_sites = 1000) {
  FlatRead out;
  VcfReader reader;
  out.failure = open_vcf(path.c_str(), options, reader);
  if (!vcf_ok(out.failure)) return out;
  out.unknown = reader_populations(reader).unknown;
  out.notes = reader_notes(reader);
  SiteBlock block;
  for (;;) {
    out.failure = read_site_block(reader, block, block_sites);
    if (!vcf_ok(out.failure) || block.sites.empty()) break;
    for (const SiteUnit& u : block.units) {
      out.units.push_back(flat_unit(block, u, reader_populations(reader).names[static_cast<size_t>(u.population)]));
    }
  }
  return out;
}
