// VCF and BCF files as a batch input: one unit per population at every site,
// identified by the file, the site (chrom, pos, id, ref, alt) and the
// population, with the individuals not counted in `missing`. A site without
// GT, or with fewer than two alleles among its counted genotypes, is an NA
// row. Each unit's random draws are keyed by the site's identity
// (site_unit_key), so a site gives the same figures in a region read as in
// the whole file.
//
// The settings are the run's: --pops is read once, before any file; the
// unknown IDs of --pops are warned about once per run. --list-regions
// prints regions that tile each file instead of testing anything.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <future>
#include <memory>
#include <optional>
#include <utility>

#include "batch/input_kind.h"
#include "batch/structure_step.h"
#include "fileio/text_escape.h"
#include "genotype/genotype_reader.h"
#include "parallel/worker_pool.h"
#include "sites/site_block.h"
#include "vcf/region_tiling.h"
#include "vcf/sample_populations.h"
#include "vcf/vcf_file.h"
#include "vcf/vcf_reader.h"
#include "vcf/vcf_region.h"

namespace {

// Sites read at once: enough units to keep every core on the exact tests,
// few enough that a block of thousands of samples stays small; with many
// populations, fewer sites, so that a block holds about as many units.
constexpr size_t kBlockSites = 512;
constexpr size_t kBlockUnits = 4096;

// At most this many unknown --pops IDs are named in the warning.
constexpr size_t kNamedUnknownIds = 10;

struct VcfItem {
  const std::string& path;
  const SiteBlock& block;
  const VariantSite& site;
  const std::string& population;
};

const IdColumn<VcfItem> kIdColumns[] = {
    {"file", IdRole::kFile, [](TsvLine& line, const VcfItem& u) { add_text_cell(line, u.path); }},
    {"chrom", IdRole::kChrom,
     [](TsvLine& line, const VcfItem& u) { add_text_cell(line, site_chrom(u.block, u.site)); }},
    {"pos", IdRole::kPos, [](TsvLine& line, const VcfItem& u) { add_int_cell(line, u.site.pos); }},
    {"id", IdRole::kSiteId,
     [](TsvLine& line, const VcfItem& u) { add_text_cell(line, site_id(u.block, u.site)); }},
    {"ref", IdRole::kOther,
     [](TsvLine& line, const VcfItem& u) { add_text_cell(line, site_ref(u.block, u.site)); }},
    {"alt", IdRole::kOther,
     [](TsvLine& line, const VcfItem& u) { add_text_cell(line, site_alt(u.block, u.site)); }},
    {"population", IdRole::kPopulation,
     [](TsvLine& line, const VcfItem& u) { add_text_cell(line, u.population); }},
};

struct VcfRunSettings {
  Diagnostics diagnostics;
  std::vector<VcfRegion> regions;
  bool has_pops = false;
  std::string pops_path;
  std::vector<PopsEntry> pops;
  int decode_threads = 0;  // extra BGZF decompression threads
  bool warned_unknown_ids = false;
  std::optional<StructureSettings> structure;  // with --structure
};

// The unit's counts as a table without letters (VCF alleles have none).
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

SourceUnit vcf_unit(const std::string& path, const SiteBlock& b, const SiteUnit& u,
                    const std::string& population, std::optional<InbreedingTest> structure) {
  const VariantSite& site = b.sites[u.site];
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
  unit.testable = site.has_gt && u.n > 0 && u.k >= 2;
  unit.structure = structure;
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
  report_failure(
      settings.diagnostics, settings.pops_path,
      std::to_string(unknown.size()) +
          (unknown.size() == 1 ? " ID is not a sample of " : " IDs are not samples of ") + path +
          ", left out:" + names);
}

// What the reader noted on opening the file, said as warnings.
void warn_open_notes(const VcfRunSettings& settings, const std::string& path,
                     const VcfOpenNotes& notes) {
  if (!notes.older_index.empty())
    report_failure(settings.diagnostics, path,
                   "the index " + escape_text(notes.older_index) +
                       " is older than the file: sites added since it was made are not read "
                       "through it; make it again (tabix -f -p vcf, or bcftools index -f)");
  if (!notes.absent_contigs.empty())
    report_failure(settings.diagnostics, path,
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
  FileStructure structure;  // with --structure, fitted before the first block
  std::vector<std::optional<InbreedingTest>> structure_tests;  // per unit of the block
};

VcfReadOptions read_options(const VcfRunSettings& settings) {
  VcfReadOptions options;
  options.regions = settings.regions;
  options.pops = settings.has_pops ? &settings.pops : nullptr;
  options.threads = settings.decode_threads;
  options.site_codes = settings.structure.has_value();
  return options;
}

// Pass one of the structure-robust test: the file (or its regions) read
// through once more, on a reader of its own. The failure's reason, empty
// when the model is fitted.
std::string fit_vcf_structure(VcfStream& s) {
  const std::string refusal = structure_input_refusal(s.path.c_str());
  if (!refusal.empty()) return refusal;
  VcfReader reader;
  const VcfFailure opened = open_vcf(s.path.c_str(), read_options(*s.settings), reader);
  if (!vcf_ok(opened)) return describe_vcf_failure(opened);
  const SamplePopulations& pops = reader_populations(reader);
  const StructureSamples samples{&reader_sample_ids(reader), &pops.of_sample,
                                 static_cast<int32_t>(std::max<size_t>(pops.names.size(), 1))};
  return fit_file_structure(
      [&reader](SiteBlock& block) {
        const VcfFailure f = read_site_block(reader, block, kBlockSites);
        return vcf_ok(f) ? std::string() : describe_vcf_failure(f);
      },
      samples, *s.settings->structure, s.path, s.structure);
}

Fetched fetch_block(VcfStream& s) {
  Fetched out;
  if (!s.opened) {
    s.opened = true;
    if (s.settings->structure) {
      out.failure = fit_vcf_structure(s);
      if (!out.failure.empty()) {
        out.status = SourceStatus::kFailed;
        return out;
      }
    }
    const VcfFailure f = open_vcf(s.path.c_str(), read_options(*s.settings), s.reader);
    if (!vcf_ok(f)) {
      out.status = SourceStatus::kFailed;
      out.failure = describe_vcf_failure(f);
      return out;
    }
    warn_unknown_ids(*s.settings, s.path, reader_populations(s.reader).unknown);
    warn_open_notes(*s.settings, s.path, reader_notes(s.reader));
  }
  const size_t populations = std::max<size_t>(reader_populations(s.reader).names.size(), 1);
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
  const std::vector<std::string>& names = reader_populations(s.reader).names;
  if (s.settings->structure)
    test_block_structure(s.structure, s.block, s.settings->structure->threads, s.structure_tests);
  for (size_t i = 0; i < s.block.units.size(); ++i) {
    const SiteUnit& u = s.block.units[i];
    out.units.push_back(vcf_unit(s.path, s.block, u, names[static_cast<size_t>(u.population)],
                                 s.settings->structure ? s.structure_tests[i] : std::nullopt));
  }
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

// --list-regions: n regions per file, one per line on standard output.
// The exit status.
int list_vcf_regions(const std::vector<char*>& files, uint32_t n, const Diagnostics& diagnostics) {
  int status = 0;
  for (const char* path : files) {
    const RegionTiling tiling = tile_regions(path, static_cast<int32_t>(n));
    if (!vcf_ok(tiling.failure)) {
      report_failure(diagnostics, path, describe_vcf_failure(tiling.failure));
      status = 1;
      continue;
    }
    std::string text;
    for (const VcfRegion& r : tiling.regions) text += format_region(r) + "\n";
    if (std::fputs(text.c_str(), stdout) < 0) status = 1;
  }
  if (std::fflush(stdout) != 0) {
    report_failure(diagnostics, "standard output", "write error");
    status = 1;
  }
  return status;
}

// The run's settings from the options: a --region that is no region
// (vcf_region.h) is a usage error, a --pops file that cannot be read or
// names an ID twice a failure.
PreparedKind prepare_vcf_run(BatchOptions& options, const Diagnostics& diagnostics) {
  if (options.list_regions > 0) {
    return PreparedKind{
        .instead = [n = options.list_regions, diagnostics](const std::vector<char*>& files) {
          return list_vcf_regions(files, n, diagnostics);
        }};
  }
  auto settings = std::make_shared<VcfRunSettings>();
  settings->diagnostics = diagnostics;
  for (const std::string& text : options.regions) {
    const std::optional<VcfRegion> region = parse_region(text);
    if (!region) {
      report_failure(diagnostics, "--region '" + text + "'",
                     "not CHR, CHR:POS, CHR:FROM-TO, CHR:FROM- or CHR:-TO with 1 <= FROM <= TO "
                     "({NAME} for a name holding ':')");
      return PreparedKind{.status = 2};
    }
    settings->regions.push_back(*region);
  }
  if (!options.pops.empty()) {
    PopsFile pops = read_pops_file(options.pops.c_str());
    if (!vcf_ok(pops.failure)) {
      report_failure(diagnostics, options.pops, describe_vcf_failure(pops.failure));
      return PreparedKind{.status = 1};
    }
    settings->has_pops = true;
    settings->pops_path = options.pops;
    settings->pops = std::move(pops.entries);
  }
  // The reader already runs on a thread of its own beside the analysis; a
  // BGZF decompression thread as well only pays where cores are left over
  // (on two cores its hand-offs cost more than they save: 0.40 against
  // 0.38 s for 20 000 sites x 2000 samples).
  settings->decode_threads = resolve_workers(options.threads) > 2 ? 1 : 0;
  if (!options.structure_out.empty() && !options.structure) {
    report_failure(diagnostics, "--structure-out", "needs --structure K or --structure auto");
    return PreparedKind{.status = 2};
  }
  if (options.structure) settings->structure = structure_settings(options, diagnostics);
  // Every site's streams are keyed under one seed for the whole run.
  if (!options.seed_given) {
    options.seed = static_cast<uint32_t>(std::time(nullptr));
    options.seed_given = true;
  }
  return PreparedKind{.open = [settings](const char* path) {
    auto stream = std::make_shared<VcfStream>();
    stream->path = path;
    stream->settings = settings;
    return UnitSource{[stream](std::vector<SourceUnit>& units, std::string& failure) {
      return next_units(*stream, units, failure);
    }};
  }};
}

// The options only kinds of variant sites take, and the one this kind
// refuses: a VCF unit has no classic report to append.
constexpr std::string_view kVcfOptions[] = {"--pops", "--region", "--list-regions",
                                            "--structure", "--structure-out"};
constexpr std::string_view kVcfRefused[] = {"--report"};

// Sequential sampling unless a count of tables is given.
void settle_vcf_options(BatchOptions& o) {
  if (!o.tables_given) o.tables_auto = true;
}

}  // namespace

const InputKind& vcf_input() {
  static const InputKind kind{
      .syntax = {.name = "vcf",
                 .option = "--vcf",
                 .takes = kVcfOptions,
                 .refuses = kVcfRefused,
                 .settle = settle_vcf_options},
      .id_columns = kind_columns(kIdColumns),
      .counts_missing = true,
      .adjusts_p = true,
      // Neighbouring sites are linked: the summary gives F_IS and the
      // heterozygosities per population and file, but combines no p-values.
      .summary = {.populations = true, .combine_p = false},
      .page_style = PageStyle::kVcf,
      .prepare = prepare_vcf_run};
  return kind;
}
