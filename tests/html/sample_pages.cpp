#include "sample_pages.h"

#include <cmath>
#include <string>
#include <vector>

double sample_site_p(int64_t i, int64_t n, int64_t population) {
  if (i % 250 == 3) return kNoValue;
  if (i % 1500 == 11) return 0;
  if (i % 1000 == 7) return std::pow(10.0, -static_cast<double>(6 + (i / 1000) % 5));
  const int64_t r = (7919 * i + 104729 * population) % n;
  return (static_cast<double>(r) + 0.5) / static_cast<double>(n);
}

void add_sample_sites(PageData& page, int64_t sites) {
  const std::string pops[2] = {"north", "south"};
  for (int64_t j = 0; j < 2; ++j)
    for (int64_t i = 0; i < sites; ++i) {
      UnitFigures u;
      u.style = PageStyle::kVcf;
      u.file = "sites.vcf.gz";
      u.population_name = pops[j];
      u.chrom = i < sites / 2 ? "chr1" : "chr2";
      u.pos = 1000 + 37 * i;
      u.id = ".";
      u.p = sample_site_p(i, sites, j);
      u.q_bh = std::isnan(u.p) ? kNoValue : std::min(1.0, u.p * 40);
      u.k = i % 10 == 9 ? 3 : 2;
      u.n = 200;
      if (u.k == 2) {
        const int64_t ab = 20 + (i * 13) % 120;
        const int64_t aa = (200 - ab) * ((i * 7) % 10 + 1) / 11;
        u.genotypes = {aa, ab, 200 - ab - aa};
      }
      add_unit(page, u);
    }
}

PageData small_sample_page(int64_t sites) {
  PageData page;
  page.header = {"hwmc --batch --genepop --vcf --html \"out & <more>.html\" pops.gen sites.vcf.gz",
                 "2026-12-09 03:30:00 UTC", "1.0", "12345"};
  const std::string file = "cattle & co <test>.gen";
  // The third name in Latin-1, as older tools write it: not UTF-8.
  const std::string names[3] = {"pop<1>", "B&B", "R\xE9union"};
  for (int32_t pop = 1; pop <= 3; ++pop)
    for (int32_t locus = 1; locus <= 4; ++locus) {
      UnitFigures u;
      u.style = PageStyle::kGenepop;
      u.file = file;
      u.population = pop;
      u.population_name = names[pop - 1];
      const std::string locus_name = "Locus" + std::to_string(locus);
      u.locus = locus_name;
      u.k = locus + 1;
      u.n = 30 + pop;
      const bool na = pop == 2 && locus == 3;
      u.p = na ? kNoValue : std::pow(10.0, -0.8 * pop * locus / 2.0);
      u.q_bh = na ? kNoValue : std::min(1.0, u.p * 3);
      u.f_is = na ? kNoValue : (locus % 2 ? 0.1 : -0.1) * pop;
      u.d = na ? kNoValue : -u.f_is;
      add_unit(page, u);
    }
  for (int32_t locus = 1; locus <= 4; ++locus) {
    const std::string name = "Locus" + std::to_string(locus);
    add_summary(page, {file, PageScope::kLocus, name, std::pow(10.0, -locus), std::pow(10.0, -locus + 0.5),
                       locus % 2 ? 0.2 : -0.2});
  }
  for (int32_t pop = 1; pop <= 3; ++pop)
    add_summary(page, {file, PageScope::kPopulation, std::to_string(pop), std::pow(10.0, -2 * pop),
                       std::pow(10.0, -2 * pop + 1), 0.05 * pop});
  add_summary(page, {file, PageScope::kFile, "", 1e-9, 1e-9, 0.07});
  add_sample_sites(page, sites);
  add_summary(page, {"sites.vcf.gz", PageScope::kPopulation, "north", kNoValue, kNoValue, 0.0123});
  const PageData counts = count_files_page(3);
  page.count_files = counts.count_files;
  return page;
}

PageData genome_sample_page(int64_t sites) {
  PageData page;
  page.header = {"hwmc --batch --vcf --html genome.html sites.vcf.gz", "2026-12-09", "1.0", "1"};
  add_sample_sites(page, sites);
  return page;
}

PageData count_files_page(int files) {
  PageData page;
  page.header = {"hwmc --batch counts/*.txt", "2026-12-09", "1.0", "7"};
  for (int f = 0; f < files; ++f) {
    const int32_t k = 2 + f % 4;
    const std::string alleles = std::string("ABCDEFG").substr(0, k);
    std::vector<double> obs, exp;
    double n = 0;
    for (int32_t i = 0; i < k; ++i)
      for (int32_t j = i; j < k; ++j) {
        obs.push_back(static_cast<double>((i == j ? 9 : 3) + (i * 5 + j * 3 + f) % 7));
        n += obs.back();
      }
    // Expected counts from the allele frequencies of these observations.
    std::vector<double> freq(k, 0);
    size_t t = 0;
    for (int32_t i = 0; i < k; ++i)
      for (int32_t j = i; j < k; ++j, ++t) {
        freq[i] += obs[t];
        freq[j] += obs[t];
      }
    for (double& p : freq) p /= 2 * n;
    for (int32_t i = 0; i < k; ++i)
      for (int32_t j = i; j < k; ++j) exp.push_back(n * freq[i] * freq[j] * (i == j ? 1 : 2));
    const std::string name = "sample" + std::to_string(f + 1) + ".txt";
    UnitFigures u;
    u.style = PageStyle::kCountFile;
    u.file = name;
    u.alleles = alleles;
    u.k = k;
    u.n = static_cast<int64_t>(n);
    u.p = 0.5 / (f + 1);
    u.q_bh = std::min(1.0, u.p * 2);
    u.observed = obs;
    u.expected = exp;
    add_unit(page, u);
  }
  return page;
}
