#include "html/page_data.h"

#include <algorithm>
#include <cmath>

namespace {

template <class T, class Same>
int32_t index_of(std::vector<T>& items, Same same) {
  const auto it = std::find_if(items.begin(), items.end(), same);
  return static_cast<int32_t>(it - items.begin());
}

void add_genepop_unit(PageData& page, const UnitFigures& u) {
  int32_t f = index_of(page.genepop, [&](const HeatMapData& m) { return m.file == u.file; });
  if (f == static_cast<int32_t>(page.genepop.size())) page.genepop.push_back({std::string(u.file), {}, {}, {}});
  HeatMapData& map = page.genepop[f];
  // Rows come population by population, locus by locus: the last population
  // and the locus after the last one are tried before a search.
  int32_t pop = static_cast<int32_t>(map.populations.size()) - 1;
  if (pop < 0 || map.populations[pop].number != u.population) {
    pop = index_of(map.populations, [&](const PopulationLabel& l) { return l.number == u.population; });
    if (pop == static_cast<int32_t>(map.populations.size()))
      map.populations.push_back({u.population, std::string(u.population_name)});
  }
  int32_t locus = map.cells.empty() ? 0 : (map.cells.back().locus + 1);
  if (locus >= static_cast<int32_t>(map.loci.size()) || map.loci[locus] != u.locus) {
    locus = index_of(map.loci, [&](const std::string& l) { return l == u.locus; });
    if (locus == static_cast<int32_t>(map.loci.size())) map.loci.emplace_back(u.locus);
  }
  map.cells.push_back({pop, locus, u.k, u.n, u.p, u.q_bh, u.f_is, u.d, u.p_u_deficit, u.p_u_excess});
}

SiteGroup& group_of(PageData& page, std::string_view file, std::string_view population) {
  auto is = [&](const SiteGroup& g) { return g.file == file && g.population == population; };
  if (page.last_group < page.vcf.size() && is(page.vcf[page.last_group]))
    return page.vcf[page.last_group];
  page.last_group = static_cast<size_t>(index_of(page.vcf, is));
  if (page.last_group == page.vcf.size()) {
    page.vcf.push_back({std::string(file), std::string(population), {}, 0, {}});
    page.vcf.back().sites.cap = page.thinning_cap;
  }
  return page.vcf[page.last_group];
}

void add_vcf_site(PageData& page, const UnitFigures& u) {
  SiteGroup& g = group_of(page, u.file, u.population_name);
  if (std::isnan(u.p)) {
    ++g.na_sites;
    return;
  }
  // Sites come chromosome by chromosome: the last one is nearly always it.
  int32_t c = static_cast<int32_t>(g.chroms.size()) - 1;
  if (c < 0 || g.chroms[c].name != u.chrom) {
    c = index_of(g.chroms, [&](const ChromSpan& s) { return s.name == u.chrom; });
    if (c == static_cast<int32_t>(g.chroms.size())) g.chroms.push_back({std::string(u.chrom), u.pos, u.pos});
  }
  ChromSpan& span = g.chroms[c];
  span.first = std::min(span.first, u.pos);
  span.last = std::max(span.last, u.pos);
  SitePoint s{c, u.pos, u.p, u.q_bh, {-1, -1, -1}};
  if (u.genotypes[0] >= 0 && u.genotypes[1] >= 0 && u.genotypes[2] >= 0)
    for (int i = 0; i < 3; ++i) s.genotypes[i] = static_cast<int32_t>(u.genotypes[i]);
  add_site(g.sites, s);
}

void add_count_file(PageData& page, const UnitFigures& u) {
  if (static_cast<int64_t>(page.count_files.size()) >= kMaxCountFilesDrawn) {
    ++page.count_files_left_out;
    return;
  }
  page.count_files.push_back({std::string(u.file), std::string(u.alleles), u.k, u.n, u.p, u.q_bh,
                              std::vector<double>(u.observed.begin(), u.observed.end()),
                              std::vector<double>(u.expected.begin(), u.expected.end()),
                              u.p_u_deficit, u.p_u_excess});
}

}  // namespace

void add_unit(PageData& page, const UnitFigures& unit) {
  switch (unit.style) {
    case PageStyle::kGenepop: add_genepop_unit(page, unit); break;
    case PageStyle::kVcf: add_vcf_site(page, unit); break;
    case PageStyle::kCountFile: add_count_file(page, unit); break;
  }
}

void add_summary(PageData& page, const SummaryFigures& s) {
  page.summaries.push_back(
      {std::string(s.file), s.scope, std::string(s.name), s.p_fisher, s.q_bh, s.f_is,
       s.p_u_deficit_global, s.p_u_excess_global});
}
