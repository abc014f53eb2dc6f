#include "vcf/site_tally.h"

#include <algorithm>
#include <string>

#include "sites/site_key.h"

namespace {

constexpr int32_t kPresent = -2;  // an allele with copies, not yet ranked

inline size_t triangle(size_t k) { return k * (k + 1) / 2; }

inline size_t tri_cell(size_t i, size_t j, size_t k) { return i * k + j - i * (i + 1) / 2; }

void append_site_text(const SiteText& s, SiteBlock& b, VariantSite& site) {
  site.text = static_cast<uint32_t>(b.text.size());
  site.chrom_length = static_cast<uint32_t>(s.chrom.size());
  site.id_length = static_cast<uint32_t>(s.id.size());
  site.ref_length = static_cast<uint32_t>(s.ref.size());
  site.alt_length = static_cast<uint32_t>(s.alt.size());
  b.text.append(s.chrom).append(s.id).append(s.ref).append(s.alt);
}

}  // namespace

namespace {

// At most this many cells in the dense tables (4 MB): beyond, the sparse count.
constexpr size_t kDenseCells = size_t{1} << 20;

// The samples of each population, grouped, made once per reader.
void group_members(const SamplePopulations& pops, TallyWorkspace& w) {
  if (w.members_of == &pops && w.members.size() <= pops.of_sample.size()) return;
  const size_t populations = pops.names.size();
  w.member_first.assign(populations + 1, 0);
  for (int32_t p : pops.of_sample)
    if (p >= 0) ++w.member_first[static_cast<size_t>(p) + 1];
  for (size_t p = 0; p < populations; ++p) w.member_first[p + 1] += w.member_first[p];
  w.members.assign(w.member_first[populations], 0);
  std::vector<uint32_t> next(w.member_first.begin(), w.member_first.end() - 1);
  for (size_t j = 0; j < pops.of_sample.size(); ++j)
    if (pops.of_sample[j] >= 0)
      w.members[next[static_cast<size_t>(pops.of_sample[j])]++] = static_cast<uint32_t>(j);
  w.members_of = &pops;
}

// Each population's counts over the alleles its counted calls name.
void count_calls_sparsely(const SiteText& s, const int32_t* calls, const SamplePopulations& pops,
                          TallyWorkspace& w) {
  const size_t populations = pops.names.size();
  group_members(pops, w);
  w.sparse = true;
  w.counted.assign(populations, 0);
  w.sparse_allele_first.assign(1, 0);
  w.sparse_count_first.assign(1, 0);
  w.sparse_alleles.clear();
  w.sparse_counts.clear();
  if (w.sparse_rank.size() < static_cast<size_t>(s.n_allele))
    w.sparse_rank.resize(static_cast<size_t>(s.n_allele), -1);
  for (size_t p = 0; p < populations; ++p) {
    const size_t first = w.sparse_alleles.size();
    const uint32_t* member = w.members.data() + w.member_first[p];
    const size_t members = s.has_gt ? w.member_first[p + 1] - w.member_first[p] : 0;
    auto counted = [&](size_t i, int32_t& lo, int32_t& hi) {
      const size_t j = member[i];
      lo = calls[2 * j];
      hi = calls[2 * j + 1];
      return lo != kNoCall && hi < s.n_allele;
    };
    int32_t lo = 0, hi = 0;
    for (size_t i = 0; i < members; ++i) {
      if (!counted(i, lo, hi)) continue;
      for (int32_t a : {lo, hi}) {
        if (w.sparse_rank[static_cast<size_t>(a)] != -1) continue;
        w.sparse_rank[static_cast<size_t>(a)] = kPresent;
        w.sparse_alleles.push_back(a);
      }
    }
    const auto alleles = w.sparse_alleles.begin() + static_cast<long>(first);
    std::sort(alleles, w.sparse_alleles.end());
    const size_t k = w.sparse_alleles.size() - first;
    for (size_t i = 0; i < k; ++i)
      w.sparse_rank[static_cast<size_t>(alleles[static_cast<long>(i)])] = static_cast<int32_t>(i);
    const size_t cells = w.sparse_counts.size();
    w.sparse_counts.resize(cells + triangle(k), 0);
    for (size_t i = 0; i < members; ++i) {
      if (!counted(i, lo, hi)) continue;
      ++w.sparse_counts[cells +
                        tri_cell(static_cast<size_t>(w.sparse_rank[static_cast<size_t>(lo)]),
                                 static_cast<size_t>(w.sparse_rank[static_cast<size_t>(hi)]), k)];
      ++w.counted[p];
    }
    for (size_t i = 0; i < k; ++i)
      w.sparse_rank[static_cast<size_t>(alleles[static_cast<long>(i)])] = -1;
    w.sparse_allele_first.push_back(static_cast<uint32_t>(w.sparse_alleles.size()));
    w.sparse_count_first.push_back(static_cast<uint32_t>(w.sparse_counts.size()));
  }
}

}  // namespace

bool dense_count_fits(int32_t n_allele, const SamplePopulations& pops) {
  const size_t width = triangle(static_cast<size_t>(std::max(n_allele, 0))) + 2;
  return kCountCopies * (pops.names.size() + 1) * width <= kDenseCells;
}

void count_calls(const SiteText& s, const int32_t* calls, const SamplePopulations& pops,
                 TallyWorkspace& w) {
  if (!dense_count_fits(s.n_allele, pops)) {
    count_calls_sparsely(s, calls, pops, w);
    return;
  }
  const CallCounter counter = start_counting(s.n_allele, pops, w);
  if (s.has_gt) {
    for (size_t j = 0; j < pops.of_sample.size(); ++j) {
      if (calls[2 * j] != kNoCall) count_call(counter, j, calls[2 * j], calls[2 * j + 1]);
    }
  }
  finish_counting(s.n_allele, pops, w);
}

namespace {

// Per pair of 8-bit GT values (the first | the second << 8): in the low 16
// bits the genotype's cell + 1 in a triangle laid out by its larger allele,
// hi (hi + 1) / 2 + lo, which needs no allele count, or 0 when the call is
// not counted; above them the largest allele the pair names + 1 (0: none).
struct PackedGtCodes {
  std::vector<uint32_t> entry;
};

constexpr uint32_t kCellBits = 0xFFFF;

PackedGtCodes build_packed_gt_codes() {
  PackedGtCodes t;
  t.entry.resize(size_t{1} << 16);
  for (uint32_t first = 0; first < 256; ++first) {
    for (uint32_t second = 0; second < 256; ++second) {
      // (value >> 1) - 1: the allele, negative for '.', missing and the end
      // of a haploid call.
      const int32_t a = (static_cast<int8_t>(first) >> 1) - 1;
      const int32_t b = (static_cast<int8_t>(second) >> 1) - 1;
      const int32_t lo = std::min(a, b), hi = std::max(a, b);
      const uint32_t cell = lo >= 0 ? static_cast<uint32_t>(hi * (hi + 1) / 2 + lo + 1) : 0;
      const uint32_t named = static_cast<uint32_t>(std::max(hi, -1) + 1);
      t.entry[first | second << 8] = named << 16 | cell;
    }
  }
  return t;
}

const PackedGtCodes& packed_gt_codes() {
  static const PackedGtCodes codes = build_packed_gt_codes();
  return codes;
}

// The counting loop: per sample one load of its pair, one of its entry and
// one increment, into `width` cells per population of one of the copies:
// cell 0 takes the calls not counted, cell width - 1 those naming an allele
// beyond the site's (the record is then at fault anyway).
template <bool kOnePopulation>
uint32_t count_packed_pairs(const uint8_t* gt, size_t samples, const int32_t* slot, size_t width,
                            size_t tables, int32_t* copies) {
  const uint32_t* entry = packed_gt_codes().entry.data();
  const uint32_t beyond = static_cast<uint32_t>(width - 1);
  uint32_t named = 0;
  for (size_t j = 0; j < samples; ++j) {
    const uint32_t e = entry[gt[2 * j] | static_cast<uint32_t>(gt[2 * j + 1]) << 8];
    named = std::max(named, e >> 16);
    const size_t cell = std::min(e & kCellBits, beyond);
    const size_t population = kOnePopulation ? 0 : static_cast<size_t>(slot[j]);
    ++copies[(j % kCountCopies) * tables + population * width + cell];
  }
  return named;
}

}  // namespace

namespace {

// The per-sample populations of the counters, made once per reader.
const int32_t* population_slots(const SamplePopulations& pops, TallyWorkspace& w) {
  if (w.slot_of != &pops || w.slot.size() != pops.of_sample.size()) {
    const int32_t past = static_cast<int32_t>(pops.names.size());
    w.slot.resize(pops.of_sample.size());
    for (size_t j = 0; j < w.slot.size(); ++j)
      w.slot[j] = pops.of_sample[j] < 0 ? past : pops.of_sample[j];
    w.slot_of = &pops;
  }
  return w.slot.data();
}

}  // namespace

CallCounter start_counting(int32_t n_allele, const SamplePopulations& pops, TallyWorkspace& w) {
  w.sparse = false;
  CallCounter c;
  c.n_allele = n_allele;
  c.width = triangle(static_cast<size_t>(n_allele)) + 2;
  c.tables = (pops.names.size() + 1) * c.width;
  w.copies.assign(kCountCopies * c.tables, 0);
  c.copies = w.copies.data();
  c.slot = population_slots(pops, w);
  return c;
}

void finish_counting(int32_t n_allele, const SamplePopulations& pops, TallyWorkspace& w) {
  const size_t populations = pops.names.size();
  const size_t n = static_cast<size_t>(n_allele);
  const size_t cells = triangle(n);
  const size_t width = cells + 2;
  const size_t tables = (populations + 1) * width;
  w.cells.assign(populations * cells, 0);
  w.counted.assign(populations, 0);
  for (size_t c = 1; c < kCountCopies; ++c)
    for (size_t i = 0; i < tables; ++i) w.copies[i] += w.copies[c * tables + i];
  for (size_t p = 0; p < populations; ++p) {
    const int32_t* by_column = w.copies.data() + p * width + 1;
    int32_t* t = w.cells.data() + p * cells;
    for (size_t hi = 0; hi < n; ++hi) {
      for (size_t lo = 0; lo <= hi; ++lo) {
        const int32_t count = by_column[hi * (hi + 1) / 2 + lo];
        t[tri_cell(lo, hi, n)] = count;
        w.counted[p] += count;
      }
    }
  }
}

int32_t count_packed_gt(const SiteText& s, const uint8_t* gt, const SamplePopulations& pops,
                        TallyWorkspace& w) {
  const size_t samples = pops.of_sample.size();
  const bool one_population =
      pops.names.size() == 1 && pops.sample_count[0] == static_cast<int32_t>(samples);
  const CallCounter c = start_counting(s.n_allele, pops, w);
  const uint32_t named =
      one_population ? count_packed_pairs<true>(gt, samples, nullptr, c.width, c.tables, c.copies)
                     : count_packed_pairs<false>(gt, samples, c.slot, c.width, c.tables, c.copies);
  const int32_t largest = static_cast<int32_t>(named) - 1;
  if (largest < s.n_allele) finish_counting(s.n_allele, pops, w);
  return largest;
}

void add_site_units(const SiteText& s, const SamplePopulations& pops, uint64_t key_prefix,
                    uint32_t occurrence, TallyWorkspace& w, SiteBlock& b) {
  const size_t populations = pops.names.size();
  const size_t n_allele = static_cast<size_t>(s.n_allele);
  const size_t cells = triangle(n_allele);

  VariantSite site;
  append_site_text(s, b, site);
  site.pos = s.pos;
  site.n_allele = s.n_allele;
  site.has_gt = s.has_gt;
  site.record = s.record;
  site.first_unit = static_cast<uint32_t>(b.units.size());
  const uint32_t site_index = static_cast<uint32_t>(b.sites.size());
  b.sites.push_back(site);

  const std::string occurrence_text = std::to_string(occurrence);
  // A population's unit, its alleles and counts to follow at the block's end.
  const auto unit_of = [&](size_t p) {
    SiteUnit u;
    u.site = site_index;
    u.population = static_cast<int32_t>(p);
    u.n = w.counted[p];
    u.missing = pops.sample_count[p] - u.n;
    u.key = hash_key_field(hash_key_field(key_prefix, pops.names[p]), occurrence_text);
    u.alleles = static_cast<uint32_t>(b.alleles.size());
    u.counts = static_cast<uint32_t>(b.counts.size());
    return u;
  };
  if (w.sparse) {
    for (size_t p = 0; p < populations; ++p) {
      SiteUnit u = unit_of(p);
      u.k = static_cast<int32_t>(w.sparse_allele_first[p + 1] - w.sparse_allele_first[p]);
      b.alleles.insert(b.alleles.end(), w.sparse_alleles.begin() + w.sparse_allele_first[p],
                       w.sparse_alleles.begin() + w.sparse_allele_first[p + 1]);
      b.counts.insert(b.counts.end(), w.sparse_counts.begin() + w.sparse_count_first[p],
                      w.sparse_counts.begin() + w.sparse_count_first[p + 1]);
      b.units.push_back(u);
    }
    return;
  }
  w.rank.resize(n_allele);
  for (size_t p = 0; p < populations; ++p) {
    const int32_t* t = w.cells.data() + p * cells;
    SiteUnit u = unit_of(p);

    std::fill(w.rank.begin(), w.rank.end(), -1);
    for (size_t i = 0; i < n_allele; ++i)
      for (size_t j = i; j < n_allele; ++j)
        if (t[tri_cell(i, j, n_allele)] > 0) w.rank[i] = w.rank[j] = kPresent;
    for (size_t i = 0; i < n_allele; ++i)
      if (w.rank[i] == kPresent) {
        w.rank[i] = u.k++;
        b.alleles.push_back(static_cast<int32_t>(i));
      }
    const size_t first = b.counts.size();
    b.counts.resize(first + triangle(static_cast<size_t>(u.k)), 0);
    for (size_t i = 0; i < n_allele; ++i) {
      if (w.rank[i] < 0) continue;
      for (size_t j = i; j < n_allele; ++j) {
        if (w.rank[j] < 0) continue;
        b.counts[first + tri_cell(static_cast<size_t>(w.rank[i]), static_cast<size_t>(w.rank[j]),
                                  static_cast<size_t>(u.k))] = t[tri_cell(i, j, n_allele)];
      }
    }
    b.units.push_back(u);
  }
}
