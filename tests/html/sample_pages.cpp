#include "sample_pages.h"

#include <algorithm>
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

namespace {

// Genepop units of one file: every population with every locus, p falling
// with the population and locus numbers so that the whole scale is used,
// f_is alternating in sign.
void add_genepop_file(PageData& page, const std::string& file, const std::vector<std::string>& pops,
                      const std::vector<std::string>& loci) {
  for (size_t pop = 0; pop < pops.size(); ++pop)
    for (size_t locus = 0; locus < loci.size(); ++locus) {
      UnitFigures u;
      u.style = PageStyle::kGenepop;
      u.file = file;
      u.population = static_cast<int32_t>(pop + 1);
      u.population_name = pops[pop];
      u.locus = loci[locus];
      u.k = 2 + static_cast<int32_t>((pop + locus) % 9);
      u.n = 40 + static_cast<int64_t>(pop);
      u.p = std::pow(10.0, -static_cast<double>((pop * 7 + locus * 3) % 13) * 0.5);
      u.q_bh = std::min(1.0, u.p * 4);
      u.f_is = (pop + locus) % 2 ? 0.15 : -0.15;
      u.d = -u.f_is;
      add_unit(page, u);
    }
  for (size_t locus = 0; locus < loci.size(); ++locus)
    add_summary(page, {file, PageScope::kLocus, loci[locus], std::pow(10.0, -static_cast<double>(locus % 7)),
                       std::pow(10.0, -static_cast<double>(locus % 7)), locus % 2 ? 0.1 : -0.1});
  for (size_t pop = 0; pop < pops.size(); ++pop)
    add_summary(page, {file, PageScope::kPopulation, std::to_string(pop + 1), 1e-3, 1e-3, 0.02});
}

}  // namespace

PageData long_labels_page() {
  PageData page;
  page.header = {"hwmc --genepop --html long.html cattle.gen", "2026-12-09", "1.0", "3"};
  const char* breeds[15] = {"Borgou", "Zebu", "Lagunaire", "NDama", "Somba", "Aubrac", "Bazadais",
                            "BlondeAquitaine", "BretPieNoire", "Charolais", "Gascon", "Limousin",
                            "MaineAnjou", "Montbeliard", "Salers"};
  std::vector<std::string> pops, loci;
  for (int i = 0; i < 15; ++i) pops.push_back(std::string(breeds[i]) + "_FRBTBDA" + std::to_string(29851 + 17 * i));
  // Longer than any margin may grow: shortened, whole in its title.
  pops[3] = "NDama_" + std::string(60, 'W') + "_end";
  pops[11] = "Limousin \xC3\xA9lev\xC3\xA9 \xE2\x80\x94 r\xC3\xA9seau <b>&amp;</b>";
  for (int l = 0; l < 30; ++l) loci.push_back((l % 3 ? "INRA" : "ETH") + std::to_string(100 + 37 * l));
  loci[5] = "HAUT" + std::string(40, 'M');
  add_genepop_file(page, "data/cattle_breeds.gen", pops, loci);
  // A second file wider than two columns at the smallest cells.
  std::vector<std::string> few(pops.begin(), pops.begin() + 6), many;
  for (int l = 0; l < 80; ++l) many.push_back("SNP" + std::to_string(l));
  add_genepop_file(page, "data/wide.gen", few, many);
  // A variant file whose names are long: population, chromosomes.
  const std::string pops_vcf[2] = {"Population_with_a_rather_long_name_AFR_Yoruba_Ibadan", "EUR"};
  const std::string chroms[3] = {"chr1", "chrUn_KI270742v1_and_then_a_very_long_contig_name", "chrM"};
  for (int j = 0; j < 2; ++j)
    for (int64_t i = 0; i < 900; ++i) {
      UnitFigures u;
      u.style = PageStyle::kVcf;
      u.file = "variants/a file with spaces.vcf.gz";
      u.population_name = pops_vcf[j];
      u.chrom = chroms[i < 800 ? 0 : i < 890 ? 1 : 2];
      u.pos = 1000 + 37 * i;
      u.p = sample_site_p(i, 900, j);
      if (std::isnan(u.p)) u.p = 0.5;
      u.q_bh = std::min(1.0, u.p * 30);
      u.k = 2;
      u.n = 100;
      u.genotypes = {25 + i % 20, 50 - i % 20, 25};
      add_unit(page, u);
    }
  // Count files with long names and many alleles.
  const PageData counts = count_files_page(4);
  page.count_files = counts.count_files;
  page.count_files[0].file = "counts/" + std::string(80, 'x') + ".txt";
  CountFileFigures twelve;
  twelve.file = "twelve alleles.txt";
  twelve.alleles = "ABCDEFGHIJKL";
  twelve.k = 12;
  for (int t = 0; t < 78; ++t) {
    twelve.observed.push_back(t % 9);
    twelve.expected.push_back(t % 9 == 0 ? 0 : 4.5);
  }
  page.count_files.push_back(twelve);
  return page;
}
