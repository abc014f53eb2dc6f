// Test filesets for the PLINK reader: a small VCF made up with what it holds
// kept per site and sample (autosomes, X inside and outside the
// pseudo-autosomal region with males coded haploid, diploid homozygous and
// heterozygous, XY, missing calls, monomorphic sites with and without an
// ALT), filesets written from it by plink2 --make-bed or byte by byte here,
// and the reader's output flattened for comparisons.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "plink/plink_reader.h"
#include "report/temp_dir.h"
#include "vcf/vcf_test_files.h"

inline bool have_tool(const char* name) {
  return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

inline bool run_quietly(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

struct SimSample {
  std::string iid;
  int sex = 0;        // .fam code: 1 male, 2 female, 0 unknown
  int phenotype = 0;  // 1 control, 2 case, 0 missing
};

struct SimSite {
  std::string chrom, id, ref, alt;
  int64_t pos = 0;
  std::vector<std::string> gt;  // per sample, as written
};

struct SimVcf {
  std::vector<SimSample> samples;
  std::vector<SimSite> sites;
  std::string text;
};

// X outside 10001-2781479 (b38's first pseudo-autosomal region, the only one
// the file reaches) is counted by sex.
inline bool sim_x_non_par(std::string_view chrom, int64_t pos) {
  return chrom == "X" && (pos < 10001 || pos > 2781479);
}

inline SimVcf simulate_plink_vcf(int samples, uint64_t seed) {
  std::mt19937_64 rng(seed);
  SimVcf v;
  for (int j = 0; j < samples; ++j)
    v.samples.push_back(
        {"I" + std::to_string(j + 1), static_cast<int>(rng() % 3), static_cast<int>(rng() % 3)});
  struct Chrom {
    const char* name;
    int sites;
    int64_t start, step;
  };
  const Chrom chroms[] = {{"1", 40, 1000, 97},
                          {"2", 25, 500, 31},
                          {"X", 15, 2000000, 60000},
                          {"X", 20, 3000000, 5000},
                          {"XY", 6, 100, 10}};
  v.text = "##fileformat=VCFv4.2\n";
  for (const char* c : {"1", "2", "X", "XY"}) v.text += "##contig=<ID=" + std::string(c) + ">\n";
  v.text +=
      "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
      "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
  for (const SimSample& s : v.samples) v.text += "\t" + s.iid;
  v.text += "\n";
  const char* const bases = "ACGT";
  int serial = 0;
  for (const Chrom& c : chroms) {
    for (int i = 0; i < c.sites; ++i, ++serial) {
      SimSite s;
      s.chrom = c.name;
      s.pos = c.start + c.step * i;
      s.id = serial % 9 == 4 ? "." : "rs" + std::to_string(serial);
      s.ref = std::string(1, bases[rng() % 4]);
      s.alt = std::string(1, bases[(s.ref[0] == 'A' ? 1 : 0) + rng() % 2 * 2]);
      if (s.alt == s.ref) s.alt = s.ref == "T" ? "G" : "T";
      if (serial % 13 == 5) s.ref += "CA";    // an indel
      const bool no_alt = serial % 7 == 3;    // monomorphic, ALT '.'
      const bool all_ref = serial % 11 == 6;  // monomorphic with an ALT
      const bool none_called = serial == 20;
      if (no_alt) s.alt = ".";
      const bool x_non_par = sim_x_non_par(s.chrom, s.pos);
      const double p = 0.1 + 0.8 * static_cast<double>(rng() % 1000) / 1000.0;
      for (int j = 0; j < samples; ++j) {
        std::bernoulli_distribution carry(p);
        const bool male = v.samples[static_cast<size_t>(j)].sex == 1;
        std::string g;
        if (none_called || rng() % 20 == 0) {
          g = x_non_par && male && rng() % 2 ? "." : "./.";
        } else {
          int a = carry(rng), b = carry(rng);
          if (no_alt || all_ref) a = b = 0;
          if (x_non_par && male) {
            const int coding = static_cast<int>(rng() % 10);
            if (coding < 6)
              g = std::to_string(a);  // haploid
            else if (coding < 9)
              g = std::to_string(a) + "/" + std::to_string(a);  // diploid hom
            else
              g = no_alt || all_ref ? "0/0" : "0/1";  // an error call
          } else {
            g = std::to_string(a) + (rng() % 2 ? "|" : "/") + std::to_string(b);
          }
        }
        s.gt.push_back(g);
      }
      v.text += s.chrom + "\t" + std::to_string(s.pos) + "\t" + s.id + "\t" + s.ref + "\t" + s.alt +
                "\t.\t.\t.\tGT";
      for (const std::string& g : s.gt) v.text += "\t" + g;
      v.text += "\n";
      v.sites.push_back(std::move(s));
    }
  }
  return v;
}

inline std::string fam_text(const SimVcf& v, const std::string& fid = "F") {
  std::string t;
  for (const SimSample& s : v.samples)
    t += fid + " " + s.iid + " 0 0 " + std::to_string(s.sex) + " " +
         (s.phenotype == 0 ? "-9" : std::to_string(s.phenotype)) + "\n";
  return t;
}

// The plink code of a call as plink2 imports it: REF is A2, ALT A1, a
// haploid call a homozygote.
inline int bed_code_of(const std::string& g) {
  if (g[0] == '.') return kBedMissing;
  const int a = g[0] - '0';
  const int b = g.size() == 1 ? a : g[2] - '0';
  if (a != b) return kBedHet;
  return a == 0 ? kBedHomA2 : kBedHomA1;
}

// Writes PREFIX.vcf and, with plink2, PREFIX.bed/.bim from it; PREFIX.fam is
// the test's (samples in the same order). False without plink2.
inline bool plink2_fileset(const TempDir& dir, const std::string& name, const SimVcf& v,
                           const std::string& fam) {
  const std::string prefix = dir.file(name);
  dir.write(name + ".vcf", v.text);
  if (!run_quietly("plink2 --vcf " + prefix + ".vcf --make-bed --allow-extra-chr --out " + prefix))
    return false;
  dir.write(name + ".fam", fam);
  return true;
}

// A fileset written byte by byte: codes[variant][sample].
inline PlinkPaths write_fileset(const TempDir& dir, const std::string& name, const std::string& fam,
                                const std::string& bim,
                                const std::vector<std::vector<int>>& codes) {
  std::string bed = "\x6c\x1b\x01";
  for (const std::vector<int>& variant : codes) {
    std::string bytes((variant.size() + 3) / 4, '\0');
    for (size_t j = 0; j < variant.size(); ++j)
      bytes[j / 4] = static_cast<char>(bytes[j / 4] | variant[j] << (2 * (j % 4)));
    bed += bytes;
  }
  dir.write(name + ".fam", fam);
  dir.write(name + ".bim", bim);
  dir.write(name + ".bed", bed);
  return plink_fileset(dir.file(name));
}

struct PlinkFlat {
  PlinkFailure failure;
  std::vector<FlatUnit> units;
  std::vector<SexSplit> sex;    // per unit
  std::vector<bool> x_non_par;  // per unit
  std::vector<std::string> unknown;
  uint64_t bed_bytes_read = 0;
};

struct XRule {
  bool on = false;
  std::vector<FamSex> sex;  // empty: the .fam's
};

inline PlinkFlat read_plink_flat(const PlinkPaths& paths, const PlinkReadOptions& options = {},
                                 size_t block_sites = 1000, const XRule& x = {}) {
  PlinkFlat out;
  PlinkReader reader;
  out.failure = open_plink(paths, options, reader);
  if (!plink_ok(out.failure)) return out;
  if (x.on) {
    out.failure = set_x_rule(reader, x.sex.empty() ? fam_sexes(reader.fam) : x.sex, sim_x_non_par);
    if (!plink_ok(out.failure)) return out;
  }
  out.unknown = reader.pops.unknown;
  PlinkBlock block;
  for (;;) {
    out.failure = read_plink_block(reader, block, block_sites);
    if (!plink_ok(out.failure) || block.block.sites.empty()) break;
    const SiteBlock& b = block.block;
    for (size_t i = 0; i < b.units.size(); ++i) {
      const SiteUnit& u = b.units[i];
      out.units.push_back(flat_unit(b, u, reader.pops.names[static_cast<size_t>(u.population)]));
      out.sex.push_back(block.sex[i]);
      out.x_non_par.push_back(block.sites[u.site].x_non_par);
    }
  }
  out.bed_bytes_read = reader.bed_bytes_read;
  return out;
}
