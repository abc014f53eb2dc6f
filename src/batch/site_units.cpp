#include "batch/site_units.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

#include "fileio/text_escape.h"
#include "genotype/genotype_reader.h"
#include "parallel/worker_pool.h"
#include "sites/site_key.h"

namespace {

// At most this many unknown --pops IDs are named in the warning.
constexpr size_t kNamedUnknownIds = 10;

// The unit's counts as a table without letters (site alleles have none).
bool fill_counts(const SiteBlock& b, const SiteUnit& u, GenotypeUnit& g) {
  const int32_t cells = cell_count_for(u.k);
  if (!g.table.allocate_zeroed(static_cast<size_t>(cells))) return false;
  clear_genotype_table(g.table.data, cells);
  const int32_t* counts = unit_counts(b, u);
  for (int32_t pos = 0; pos < cells; ++pos) g.table[static_cast<size_t>(pos)].count = counts[pos];
  g.k = u.k;
  g.two_n = 2 * u.n;
  g.mc_max_k = kLetteredMcClasses;
  g.stream_key = u.key;
  return true;
}

// A unit counted by sex: the X-linked test's sample over the alleles that
// either sex carries (the females' table keeps only theirs).
void add_x_linked_sample(const SiteBlock& b, const SiteUnit& u, SourceUnit& unit) {
  const VariantSite& site = b.sites[u.site];
  unit.by_sex = true;
  unit.males = u.males;
  unit.females = u.n;
  unit.male_het = u.male_het;
  unit.x_linked_key = hash_key_field(u.key, "X-linked");
  if (!site.has_gt) return;
  const int32_t* male = unit_male_copies(b, u);
  const int32_t* female_allele = unit_alleles(b, u);
  const int32_t* female_counts = unit_counts(b, u);
  // Each allele of the females' table at its place among the sample's.
  std::vector<int32_t> place(static_cast<size_t>(u.k));
  XLinkedSample& x = unit.x_linked;
  x.k = 0;
  for (int32_t a = 0, f = 0; a < site.n_allele; ++a) {
    const bool in_females = f < u.k && female_allele[f] == a;
    if (!in_females && male[a] == 0) continue;
    if (in_females) place[static_cast<size_t>(f++)] = x.k;
    x.males.push_back(male[a]);
    ++x.k;
  }
  const size_t k = static_cast<size_t>(x.k);
  x.females.assign(k * (k + 1) / 2, 0);
  for (size_t i = 0, cell = 0; i < static_cast<size_t>(u.k); ++i) {
    for (size_t j = i; j < static_cast<size_t>(u.k); ++j, ++cell) {
      const size_t pi = static_cast<size_t>(place[i]), pj = static_cast<size_t>(place[j]);
      x.females[pi * k + pj - pi * (pi + 1) / 2] = female_counts[cell];
    }
  }
}

// Labels: the site's allele numbers. REF/REF REF/ALT ALT/ALT where the
// site has one ALT, also where the unit carries one allele or none.
// Into `out`, whose text is empty.
void site_genotype_counts(const SiteBlock& b, const VariantSite& site, const SiteUnit& u,
                          RowGenotypeCounts& out) {
  out.two_allele = {-1, -1, -1};
  if (!site.has_gt) return;
  const int32_t* counts = unit_counts(b, u);
  const int32_t* alleles = unit_alleles(b, u);
  put_unit_genotype_counts(
      u.k, [counts](int32_t c) -> int64_t { return counts[c]; },
      [alleles](int32_t i) { return std::to_string(alleles[i]); }, out);
  if (site.n_allele == 2) {
    out.two_allele = {0, 0, 0};
    if (u.k == 2) {
      out.two_allele = {counts[0], counts[1], counts[2]};
    } else if (u.k == 1) {
      out.two_allele[alleles[0] == 0 ? 0 : 2] = counts[0];
    }
  } else {
    out.two_allele = {-1, -1, -1};
  }
}

struct AheadState {
  FetchUnits fetch;
  KeptRecords handed;    // the records of the block last handed out
  BackgroundTask ahead;  // the next block's fetch, into fetched
  FetchedUnits fetched;
  AheadState() = default;
  AheadState(const AheadState&) = delete;
  AheadState& operator=(const AheadState&) = delete;
  // The fetch uses the state: it ends first. What it threw has no taker.
  ~AheadState() {
    try {
      wait_for_task(ahead);
    } catch (...) {
    }
  }
};

}  // namespace

const IdColumn<SiteItem> kSiteIdColumns[7] = {
    {"file", IdRole::kFile, [](TsvLine& line, const SiteItem& u) { add_text_cell(line, u.path); }},
    {"chrom", IdRole::kChrom,
     [](TsvLine& line, const SiteItem& u) { add_text_cell(line, site_chrom(u.block, u.site)); }},
    {"pos", IdRole::kPos, [](TsvLine& line, const SiteItem& u) { add_int_cell(line, u.site.pos); }},
    {"id", IdRole::kSiteId,
     [](TsvLine& line, const SiteItem& u) { add_text_cell(line, site_id(u.block, u.site)); }},
    {"ref", IdRole::kOther,
     [](TsvLine& line, const SiteItem& u) { add_text_cell(line, site_ref(u.block, u.site)); }},
    {"alt", IdRole::kOther,
     [](TsvLine& line, const SiteItem& u) { add_text_cell(line, site_alt(u.block, u.site)); }},
    {"population", IdRole::kPopulation,
     [](TsvLine& line, const SiteItem& u) { add_text_cell(line, u.population); }},
};

SourceUnit site_source_unit(const std::string& path, const SiteBlock& b, const SiteUnit& u,
                            const std::string& population) {
  SourceUnit unit;
  remake_site_source_unit(path, b, u, population, unit);
  return unit;
}

void remake_site_source_unit(const std::string& path, const SiteBlock& b, const SiteUnit& u,
                             const std::string& population, SourceUnit& unit) {
  // Everything but the texts' memory starts afresh.
  std::string id = std::move(unit.id.text), name = std::move(unit.name),
              counts = std::move(unit.counts.text);
  unit = SourceUnit{};
  id.clear();
  name.clear();
  counts.clear();
  const VariantSite& site = b.sites[u.site];
  unit.id.text = std::move(id);
  unit.id.text.reserve(128);  // most lines in one allocation
  append_id_cells(kSiteIdColumns, SiteItem{path, b, site, population}, unit.id);
  // One allocation: a block makes thousands of these names, for messages only.
  const std::string_view chrom = site_chrom(b, site);
  const std::string pos = std::to_string(site.pos);
  unit.name = std::move(name);
  unit.name.reserve(path.size() + chrom.size() + pos.size() + population.size() + 16);
  unit.name.append(path).append(": ").append(chrom).append(":").append(pos);
  unit.name.append(", population ").append(population);
  unit.k = u.k;
  unit.n = u.n;
  unit.missing = u.missing;
  unit.counts.text = std::move(counts);
  site_genotype_counts(b, site, u, unit.counts);
  unit.testable = site.has_gt && u.n > 0 && u.k >= 2;
  if (unit.testable && !fill_counts(b, u, unit.genotypes)) unit.failure = kMemoryErrorText;
  if (site.by_sex) add_x_linked_sample(b, u, unit);
}

void remake_site_units(const std::string& path, const SiteBlock& b,
                       const std::vector<std::string>& names, std::vector<SourceUnit>& units) {
  units.resize(b.units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    const SiteUnit& u = b.units[i];
    remake_site_source_unit(path, b, u, names[static_cast<size_t>(u.population)], units[i]);
  }
}

bool parse_run_regions(const std::vector<std::string>& texts, const Diagnostics& diagnostics,
                       std::vector<VcfRegion>& out) {
  for (const std::string& text : texts) {
    const std::optional<VcfRegion> region = parse_region(text);
    if (!region) {
      report_failure(diagnostics, "--region '" + text + "'",
                     "not CHR, CHR:POS, CHR:FROM-TO, CHR:FROM- or CHR:-TO with 1 <= FROM <= TO "
                     "({NAME} for a name holding ':')");
      return false;
    }
    out.push_back(*region);
  }
  return true;
}

void warn_unknown_ids(const Diagnostics& diagnostics, const std::string& pops_path,
                      const std::string& path, const std::vector<std::string>& unknown,
                      bool& warned) {
  if (unknown.empty() || warned) return;
  warned = true;
  std::string names;
  for (size_t i = 0; i < unknown.size() && i < kNamedUnknownIds; ++i)
    names.append(" ").append(escape_text(unknown[i]));
  if (unknown.size() > kNamedUnknownIds) names += " ...";
  report_failure(
      diagnostics, pops_path,
      std::to_string(unknown.size()) +
          (unknown.size() == 1 ? " ID is not a sample of " : " IDs are not samples of ") +
          escape_text(path) +
          ", left out:" + names);
}

bool print_regions(const std::vector<VcfRegion>& regions, const Diagnostics& diagnostics) {
  std::string text;
  for (const VcfRegion& r : regions) text += format_region(r) + "\n";
  bool ok = std::fputs(text.c_str(), stdout) >= 0;
  if (std::fflush(stdout) != 0) {
    report_failure(diagnostics, "standard output", "write error");
    ok = false;
  }
  return ok;
}

bool read_run_sexes(const std::string& path, const Diagnostics& diagnostics,
                    std::vector<SexEntry>& out) {
  SexFile sexes = read_sex_file(path.c_str());
  if (sexes.failure.status != SexFileStatus::kOk) {
    report_failure(diagnostics, path, describe_sex_failure(sexes.failure));
    return false;
  }
  out = std::move(sexes.entries);
  return true;
}

bool read_run_pops(const std::string& path, const Diagnostics& diagnostics,
                   std::vector<PopsEntry>& out) {
  PopsFile pops = read_pops_file(path.c_str());
  if (!vcf_ok(pops.failure)) {
    report_failure(diagnostics, path, describe_vcf_failure(pops.failure));
    return false;
  }
  out = std::move(pops.entries);
  return true;
}

void note_sex_linked_sites(const Diagnostics& diagnostics, const std::string& path, bool by_sex,
                           const SexLinkedCounts& counts, const std::string& why_autosomes,
                           const std::string& unknown_where) {
  auto count_of = [](uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  if (!by_sex) {
    if (counts.x_sites > 0)
      report_failure(diagnostics, path,
                     count_of(counts.x_sites, "site", "sites") +
                         " on X outside the pseudo-autosomal regions tested as autosomes" +
                         why_autosomes);
    return;
  }
  if (counts.left_out > 0)
    report_failure(diagnostics, path,
                   count_of(counts.left_out, "site", "sites") +
                       " on Y or the mitochondria left out: they have no Hardy-Weinberg test");
  if (counts.x_sites > 0 && counts.unknown_sex > 0)
    report_failure(diagnostics, path,
                   count_of(static_cast<uint64_t>(counts.unknown_sex), "sample", "samples") +
                       " of unknown sex" + unknown_where + " left out of the X sites");
}

void settle_site_options(BatchOptions& o) {
  if (!o.tables_given) o.tables_auto = true;
}

UnitSource read_ahead(FetchUnits fetch, std::shared_ptr<SourceExtent> extent,
                      bool keeps_records) {
  auto state = std::make_shared<AheadState>();
  state->fetch = std::move(fetch);
  UnitSource source{[state](std::vector<SourceUnit>& units, std::string& failure) {
    std::vector<SourceUnit> none;
    FetchedUnits got;
    if (state->ahead.state) {
      wait_for_task(state->ahead);
      got = std::move(state->fetched);
    } else {
      got = state->fetch(none);
    }
    if (got.status == SourceStatus::kUnits) {
      // By address: the state waits for its fetch as it is destroyed, so it
      // outlives every fetch it started. The driver is done with the units
      // it pulled before: the fetch makes its units in their place.
      auto done = std::make_shared<std::vector<SourceUnit>>(std::move(units));
      state->ahead = start_in_background([raw = state.get(), done] {
        raw->fetched = raw->fetch(*done);
        std::vector<SourceUnit>().swap(*done);  // what fetch left
      });
    }
    units = std::move(got.units);
    failure = std::move(got.failure);
    state->handed = std::move(got.kept);
    return got.status;
  }};
  source.extent = std::move(extent);
  if (keeps_records) source.records = [state] { return std::move(state->handed); };
  return source;
}
