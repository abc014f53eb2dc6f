#include "batch/vcf_source.h"

#include <algorithm>
#include <cstdio>
#include <future>
#include <utility>

#include "batch/unit_driver.h"
#include "fileio/text_escape.h"
#include "genotype/genotype_reader.h"
#include "parallel/worker_pool.h"
#include "vcf/region_tiling.h"
#include "vcf/site_block.h"
#include "vcf/vcf_reader.h"

namespace {

// Sites read at once: enough units to keep every core on the exact tests,
// few enough that a block of thousands of samples stays small; with many
// populations, fewer sites, so that a block holds about as many units.
constexpr size_t kBlockSites = 512;
constexpr size_t kBlockUnits = 4096;

// The permutation test names classes by letter: at most 127 of them.
constexpr int32_t kVcfMcClasses = 127;

// At most this many unknown --pops IDs are named in the warning.
constexpr size_t kNamedUnknownIds = 10;

struct VcfItem {
  const std::string& path;
  const SiteBlock& block;
  const VcfSite& site;
  const std::string& population;
};

const IdColumn<VcfItem> kIdColumns[] = {
    {"file", [](TsvLine& line, const VcfItem& u) { add_text_cell(line, u.path); }},
    {"chrom",
     [](TsvLine& line, const VcfItem& u) { add_text_cell(line, site_chrom(u.block, u.site)); }},
    {"pos", [](TsvLine& line, const VcfItem& u) { add_int_cell(line, u.site.pos); }},
    {"id", [](TsvLine& line, const VcfItem& u) { add_text_cell(line, site_id(u.block, u.site)); }},
    {"ref",
     [](TsvLine& line, const VcfItem& u) { add_text_cell(line, site_ref(u.block, u.site)); }},
    {"alt",
     [](TsvLine& line, const VcfItem& u) { add_text_cell(line, site_alt(u.block, u.site)); }},
    {"population", [](TsvLine& line, const VcfItem& u) { add_text_cell(line, u.population); }},
};

// The unit's counts as a table without letters (VCF alleles have none).
bool fill_counts(const SiteBlock& b, const VcfUnit& u, GenotypeUnit& g) {
  const int32_t cells = cell_count_for(u.k);
  if (!g.table.allocate_zeroed(static_cast<size_t>(cells))) return false;
  clear_genotype_table(g.table.data, cells);
  const int32_t* counts = unit_counts(b, u);
  for (int32_t pos = 0; pos < cells; ++pos) g.table[static_cast<size_t>(pos)].count = counts[pos];
  g.k = u.k;
  g.two_n = 2 * u.n;
  g.mc_max_k = kVcfMcClasses;
  g.stream_key = u.key;
  return true;
}

SourceUnit vcf_unit(const std::string& path, const SiteBlock& b, const VcfUnit& u,
                    const std::string& population) {
  const VcfSite& site = b.sites[u.site];
  SourceUnit unit;
  unit.id = id_cells(kIdColumns, VcfItem{path, b, site, population});
  // One allocation: a block makes thousands of these names, for messages only.
  const std::string_view chrom = site_chrom(b, site);
  const std::string pos = std::to_string(site.pos);
  unit.name.reserve(path.size() + chrom.size() + pos.size() + population.size() + 16);
  unit.name.append(path).append(": ").append(chrom).append(":").append(pos);
  unit.name.append(", population ").append(population);
  unit.k = u.k;
  unit.n = u.n;
  unit.missing = u.missing;
  TsvLine population_cell;
  add_text_cell(population_cell, population);
  unit.population = std::move(population_cell.text);
  unit.testable = site.has_gt && u.n > 0 && u.k >= 2;
  if (unit.testable && !fill_counts(b, u, unit.genotypes)) unit.failure = kMemoryErrorText;
  return unit;
}

void warn_unknown_ids(VcfRunSettings& settings, const std::string& path,
                      const std::vector<std::string>& unknown) {
  if (unknown.empty() || settings.warned_unknown_ids) return;
  settings.warned_unknown_ids = true;
  std::string names;
  for (size_t i = 0; i < unknown.size() && i < kNamedUnknownIds; ++i) names += " " + unknown[i];
  if (unknown.size() > kNamedUnknownIds) names += " ...";
  report_failure(settings.program, settings.pops_path,
                 std::to_string(unknown.size()) +
                     (unknown.size() == 1 ? " ID is not a sample of " : " IDs are not samples of ") +
                     path + ", left out:" + names);
}

// What the reader noted on opening the file, said as warnings.
void warn_open_notes(const VcfRunSettings& settings, const std::string& path,
                     const VcfOpenNotes& notes) {
  if (!notes.older_index.empty())
    report_failure(settings.program, path,
                   "the index " + escape_text(notes.older_index) +
                       " is older than the file: sites added since it was made are not read "
                       "through it; make it again (tabix -f -p vcf, or bcftools index -f)");
  if (!notes.absent_contigs.empty())
    report_failure(settings.program, path,
                   "no contig " + contig_list_text(notes.absent_contigs) +
                       " in the file (contigs: " + contig_list_text(notes.contigs) +
                       "): their regions match nothing here");
}

// One block's worth of units as the reader gave them.
struct Fetched {
  SourceStatus status = SourceStatus::kEnd;
  std::vector<SourceUnit> units;
  std::string failure;
};

// The reader runs one block ahead: while the driver analyses a block, the
// next one is decoded on a thread of its own. Only that thread touches the
// reader between pulls.
struct VcfStream {
  std::string path;
  std::shared_ptr<VcfRunSettings> settings;
  bool opened = false;
  VcfReader reader;
  SiteBlock block;
  std::future<Fetched> ahead;
};

Fetched fetch_block(VcfStream& s) {
  Fetched out;
  if (!s.opened) {
    s.opened = true;
    VcfReadOptions options;
    options.regions = s.settings->regions;
    options.pops = s.settings->has_pops ? &s.settings->pops : nullptr;
    options.threads = s.settings->decode_threads;
    const VcfFailure f = open_vcf(s.path.c_str(), options, s.reader);
    if (!vcf_ok(f)) {
      out.status = SourceStatus::kFailed;
      out.failure = describe_vcf_failure(f);
      return out;
    }
    warn_unknown_ids(*s.settings, s.path, s.reader.pops.unknown);
    warn_open_notes(*s.settings, s.path, s.reader.notes);
  }
  const size_t populations = static_cast<size_t>(std::max(population_count(s.reader), 1));
  const VcfFailure f = read_site_block(
      s.reader, s.block, std::clamp(kBlockUnits / populations, size_t{1}, kBlockSites));
  if (!vcf_ok(f)) {
    out.status = SourceStatus::kFailed;
    out.failure = describe_vcf_failure(f);
    return out;
  }
  if (s.block.sites.empty()) return out;
  out.status = SourceStatus::kUnits;
  out.units.reserve(s.block.units.size());
  for (const VcfUnit& u : s.block.units)
    out.units.push_back(vcf_unit(s.path, s.block, u,
                                 s.reader.pops.names[static_cast<size_t>(u.population)]));
  return out;
}

SourceStatus next_units(VcfStream& s, std::vector<SourceUnit>& units, std::string& failure) {
  Fetched got = s.ahead.valid() ? s.ahead.get() : fetch_block(s);
  if (got.status == SourceStatus::kUnits)
    s.ahead = std::async(std::launch::async, [&s] { return fetch_block(s); });
  units = std::move(got.units);
  failure = std::move(got.failure);
  return got.status;
}

}  // namespace

bool prepare_vcf_run(const BatchOptions& options, const char* program, VcfRunSettings& settings,
                     bool& usage) {
  settings.program = program;
  usage = false;
  for (const std::string& text : options.regions) {
    const std::optional<VcfRegion> region = parse_region(text);
    if (!region) {
      usage = true;
      report_failure(program, "--region '" + text + "'",
                     "not CHR, CHR:POS, CHR:FROM-TO, CHR:FROM- or CHR:-TO with 1 <= FROM <= TO "
                     "({NAME} for a name holding ':')");
      return false;
    }
    settings.regions.push_back(*region);
  }
  if (!options.pops.empty()) {
    PopsFile pops = read_pops_file(options.pops.c_str());
    if (!vcf_ok(pops.failure)) {
      report_failure(program, options.pops, describe_vcf_failure(pops.failure));
      return false;
    }
    settings.has_pops = true;
    settings.pops_path = options.pops;
    settings.pops = std::move(pops.entries);
  }
  // The reader already runs on a thread of its own beside the analysis; a
  // BGZF decompression thread as well only pays where cores are left over
  // (on two cores its hand-offs cost more than they save: 0.40 against
  // 0.38 s for 20 000 sites x 2000 samples).
  settings.decode_threads = resolve_workers(options.threads) > 2 ? 1 : 0;
  return true;
}

InputKind vcf_input(std::shared_ptr<VcfRunSettings> settings) {
  InputKind kind{id_column_names(kIdColumns), true, true, [settings](const char* path) {
                   auto stream = std::make_shared<VcfStream>();
                   stream->path = path;
                   stream->settings = settings;
                   return UnitSource{[stream](std::vector<SourceUnit>& units,
                                              std::string& failure) {
                     return next_units(*stream, units, failure);
                   }};
                 }};
  // Neighbouring sites are linked: the summary gives F_IS and the
  // heterozygosities per population and file, but combines no p-values.
  kind.summary.populations = true;
  kind.summary.combine_p = false;
  kind.page_kind = UnitKind::kVcf;
  return kind;
}

int list_vcf_regions(const std::vector<char*>& files, uint32_t n, const char* program) {
  int status = 0;
  for (const char* path : files) {
    const RegionTiling tiling = tile_regions(path, static_cast<int32_t>(n));
    if (!vcf_ok(tiling.failure)) {
      report_failure(program, path, describe_vcf_failure(tiling.failure));
      status = 1;
      continue;
    }
    std::string text;
    for (const VcfRegion& r : tiling.regions) text += format_region(r) + "\n";
    if (std::fputs(text.c_str(), stdout) < 0) status = 1;
  }
  if (std::fflush(stdout) != 0) {
    report_failure(program, "standard output", "write error");
    status = 1;
  }
  return status;
}
