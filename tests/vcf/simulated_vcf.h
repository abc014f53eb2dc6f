// A small VCF made up for the reader's tests, with what it holds kept as
// plain text per site and sample, so that the tests can count it their own
// way: two contigs, multi-allelic sites with '*' and symbolic alleles,
// alleles no one carries, missing, half-missing, haploid, triploid and
// phased calls, GT in every place of FORMAT or absent, long deletions
// reaching past their neighbours, and one record written twice.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

struct SimulatedSite {
  std::string chrom, ref, alt;
  int64_t pos = 0;
  int32_t n_allele = 0;
  bool has_gt = true;
  std::vector<std::string> gt;  // per sample, as written
};

struct SimulatedVcf {
  std::vector<std::string> samples;
  std::vector<SimulatedSite> sites;
  std::string text;
};

// Sites are `spacing` bases apart.
inline SimulatedVcf simulate_vcf(int samples, int sites, uint64_t seed, int64_t spacing = 37) {
  std::mt19937_64 rng(seed);
  SimulatedVcf v;
  for (int j = 0; j < samples; ++j) v.samples.push_back(std::string("S").append(std::to_string(j + 1)));
  v.text = "##fileformat=VCFv4.2\n##contig=<ID=chr1,length=10000000>\n##contig=<ID=chr2,length=10000000>\n"
           "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
           "##FORMAT=<ID=DP,Number=1,Type=Integer,Description=\"Depth\">\n"
           "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
  for (const std::string& s : v.samples) v.text += "\t" + s;
  v.text += "\n";
  const char* const alt_pool[] = {"C", "G", "T", "*", "<DEL>", "CA", "GT", "TTA", "<INS>", "CC", "AG"};
  for (int i = 0; i < sites; ++i) {
    SimulatedSite s;
    const bool second = i >= sites / 2;
    s.chrom = second ? "chr2" : "chr1";
    s.pos = 1000 + spacing * static_cast<int64_t>(second ? i - sites / 2 : i);
    s.ref = i % 11 == 3 ? std::string(60, 'A') : "A";  // reaches over the next site
    int alts = i % 5 == 0 ? 2 + static_cast<int>(rng() % 9) : 1;
    for (int a = 0; a < alts; ++a) s.alt.append(a ? "," : "").append(alt_pool[a]);
    s.n_allele = alts + 1;
    std::string format = "GT";
    if (i % 13 == 5) format = "DP:GT";
    if (i % 13 == 6) format = "GT:DP";
    if (i % 17 == 2) {
      format = "DP";
      s.has_gt = false;
    }
    std::string line = s.chrom + "\t" + std::to_string(s.pos) + "\trs" + std::to_string(i) + "\t" + s.ref + "\t" +
                       s.alt + "\t50\tPASS\t.\t" + format;
    for (int j = 0; j < samples; ++j) {
      // Skewed allele draws, so that the last alleles are often absent.
      auto allele = [&] {
        int a = 0;
        while (a + 1 < s.n_allele && rng() % 3 == 0) ++a;
        return std::to_string(a);
      };
      int r = static_cast<int>(rng() % 100);
      std::string g;
      if (r < 3) g = "./.";
      else if (r < 5) g = allele() + "/.";
      else if (r < 6) g = allele();
      else if (r < 7) g = allele() + "/" + allele() + "/" + allele();
      else g = allele() + (r % 2 ? "|" : "/") + allele();
      s.gt.push_back(g);
      std::string dp = std::to_string(rng() % 30);
      if (format == "GT") line += "\t" + g;
      else if (format == "DP:GT") line += "\t" + dp + ":" + g;
      else if (format == "GT:DP") line += "\t" + g + ":" + dp;
      else line += "\t" + dp;
    }
    line += "\n";
    v.text += line;
    v.sites.push_back(s);
    if (i == 7) {  // the same record twice
      v.text += line;
      v.sites.push_back(s);
    }
  }
  return v;
}
