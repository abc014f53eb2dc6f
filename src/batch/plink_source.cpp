// PLINK 1 binary filesets (.bed, .bim, .fam) as a batch input: each
// --bfile PREFIX is one input, its rows those of the VCF kind (file chrom
// pos id ref alt population ...) with ref = A2 and alt = A1, as plink2
// exports the fileset, and its draws keyed by the site as there, so that a
// fileset and its VCF export give the same rows but for `file`.
//
// The settings are the run's: --pops (samples named by IID, or FID_IID when
// IIDs repeat) or --by-phenotype ("control" and "case" from the .fam's
// column 6), --region, and --bed/--bim/--fam in place of a prefix's files.
// --list-regions prints regions that tile each fileset's variants from its
// .bim instead of testing anything.
//
// X outside the pseudo-autosomal regions (--par) is counted by sex as the
// VCF kind counts it with --sex: the sexes are the .fam's column 5, or those
// of --sex; Y and the mitochondria are then left out. A fileset without a
// single known sex has its X tested as autosomes, and says so.
//
// --structure reads the fileset twice, as the VCF kind reads its file: pass
// one on a reader of its own, the codes straight from the packed genotypes.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "batch/input_kind.h"
#include "batch/site_units.h"
#include "batch/structure_step.h"
#include "plink/bim_tiling.h"
#include "plink/plink_reader.h"
#include "sex/chromosome.h"
#include "sex/sex_file.h"
#include "vcf/sample_populations.h"
#include "vcf/vcf_failure.h"

namespace {

// As for VCF: enough units to keep every core busy, a bounded block.
constexpr size_t kBlockSites = 512;
constexpr size_t kBlockUnits = 4096;

struct PlinkRunSettings {
  Diagnostics diagnostics;
  std::vector<VcfRegion> regions;
  bool has_pops = false;
  std::string pops_path;
  std::vector<PopsEntry> pops;
  bool by_phenotype = false;
  std::string bed, bim, fam;  // in place of PREFIX's, where given
  bool warned_unknown_ids = false;
  // --sex in place of the .fam's sexes, and the pseudo-autosomal regions.
  bool has_sex = false;
  std::string sex_path;
  std::vector<SexEntry> sexes;
  ParBuild par = kDefaultParBuild;
  bool warned_absent_sex_ids = false;
  std::optional<StructureSettings> structure;  // with --structure
};

PlinkPaths fileset_paths(const PlinkRunSettings& settings, const std::string& prefix) {
  PlinkPaths paths = plink_fileset(prefix);
  if (!settings.bed.empty()) paths.bed = settings.bed;
  if (!settings.bim.empty()) paths.bim = settings.bim;
  if (!settings.fam.empty()) paths.fam = settings.fam;
  return paths;
}

// The failure as the driver writes it after the input's name: the file at
// fault and, for a text line, its number.
std::string plink_failure_text(const PlinkFailure& f) {
  return f.file.empty() ? describe_plink_failure(f) : f.file + ": " + describe_plink_failure(f);
}

// The .bim's variants in the regions (none: all of them, but those left
// out), for the progress line; 0 when a region is part of a chromosome.
uint64_t bim_variants_in(const BimIndex& index, const std::vector<VcfRegion>& regions) {
  if (regions.empty()) return index.variants - index.left_out;
  uint64_t total = 0;
  for (const VcfRegion& r : regions) {
    if (r.from > 1 || r.to < kRegionEnd) return 0;
    for (const BimRun& run : index.runs)
      if (run.chrom == r.chrom) total += run.count;
  }
  return total;
}

// Only the read-ahead thread touches the reader between pulls.
struct PlinkStream {
  std::string prefix;
  std::shared_ptr<PlinkRunSettings> settings;
  bool opened = false;
  std::shared_ptr<SourceExtent> extent = std::make_shared<SourceExtent>();
  PlinkReader reader;
  PlinkBlock block;
  bool by_sex = false;       // X outside the PAR counted by sex
  int64_t unknown_sex = 0;   // samples of unknown sex, left out of those sites
  uint64_t x_sites = 0;      // such sites read
  uint64_t left_out = 0;     // with sexes: sites on Y or the mitochondria
  FileStructure structure;   // with --structure, fitted before the first block
  std::vector<std::optional<InbreedingTest>> structure_tests;  // per unit of the block
};

// The fileset's sexes (the .fam's, or --sex by IID), and the X rule set
// where one of them is known.
PlinkFailure set_sex_rule(PlinkStream& s) {
  const PlinkRunSettings& settings = *s.settings;
  std::vector<FamSex> sexes = fam_sexes(s.reader.fam);
  if (settings.has_sex) {
    std::vector<std::string> iids;
    iids.reserve(s.reader.fam.samples.size());
    for (const FamSample& sample : s.reader.fam.samples)
      iids.emplace_back(fam_iid(s.reader.fam, sample));
    const SampleSexes given = assign_sexes(settings.sexes, iids);
    warn_unknown_ids(settings.diagnostics, settings.sex_path, s.prefix, given.absent,
                     s.settings->warned_absent_sex_ids);
    for (size_t j = 0; j < sexes.size() && j < given.of_sample.size(); ++j)
      sexes[j] = given.of_sample[j] == Sex::kMale     ? FamSex::kMale
                 : given.of_sample[j] == Sex::kFemale ? FamSex::kFemale
                                                      : FamSex::kUnknown;
  }
  s.unknown_sex = std::count(sexes.begin(), sexes.end(), FamSex::kUnknown);
  s.by_sex = s.unknown_sex < static_cast<int64_t>(sexes.size());
  if (!s.by_sex) return PlinkFailure{};
  const ParBuild par = settings.par;
  return set_x_rule(s.reader, sexes, [par](std::string_view, int64_t pos) {
    return classify_site(ContigKind::kX, pos, par) == SiteKind::kXNonPar;
  });
}

// A site counted by sex: its units' males, their heterozygous calls and
// their copies (REF is A2, ALT A1), as the VCF kind holds them.
void add_male_copies(PlinkBlock& pb) {
  SiteBlock& b = pb.block;
  for (size_t u = 0; u < b.units.size(); ++u) {
    SiteUnit& unit = b.units[u];
    VariantSite& site = b.sites[unit.site];
    if (!pb.sites[unit.site].x_non_par) continue;
    site.by_sex = true;
    const CodeCounts& male = pb.sex[u].male;
    unit.males = male.code[kBedHomA1] + male.code[kBedHomA2];
    unit.male_het = male.code[kBedHet];
    unit.male_copies = static_cast<uint32_t>(b.male_copies.size());
    b.male_copies.resize(b.male_copies.size() + static_cast<size_t>(site.n_allele), 0);
    int32_t* copies = b.male_copies.data() + unit.male_copies;
    copies[0] = male.code[kBedHomA2];
    if (site.n_allele > 1) copies[1] = male.code[kBedHomA1];
  }
}

// What sex concerned in a fileset read to its end, as the VCF kind says it.
void note_sex_linked_sites(const PlinkStream& s) {
  note_sex_linked_sites(s.settings->diagnostics, s.prefix, s.by_sex,
                        {s.x_sites, s.left_out, s.unknown_sex},
                        ": no sample has a known sex (.fam column 5, or --sex FILE)", "");
}

FetchedUnits failed(const PlinkFailure& f) {
  FetchedUnits out;
  out.status = SourceStatus::kFailed;
  out.failure = plink_failure_text(f);
  return out;
}

PlinkReadOptions read_options(const PlinkRunSettings& settings) {
  PlinkReadOptions options;
  options.regions = settings.regions;
  options.pops = settings.has_pops ? &settings.pops : nullptr;
  options.by_phenotype = settings.by_phenotype;
  options.site_codes = settings.structure.has_value();
  return options;
}

// Pass one of the structure-robust test on a reader of its own. The
// failure's reason, empty when the model is fitted.
std::string fit_plink_structure(PlinkStream& s) {
  const PlinkPaths paths = fileset_paths(*s.settings, s.prefix);
  const std::string refusal = structure_input_refusal(paths.bed.c_str());
  if (!refusal.empty()) return paths.bed + ": " + refusal;
  PlinkReader reader;
  const PlinkFailure opened = open_plink(paths, read_options(*s.settings), reader);
  if (!plink_ok(opened)) return plink_failure_text(opened);
  const std::vector<std::string> names = fam_names(reader.fam);
  const StructureSamples samples{&names, &reader.pops.of_sample,
                                 std::max(population_count(reader), 1)};
  PlinkBlock pb;
  return fit_file_structure(
      [&reader, &pb](SiteBlock& block) {
        const PlinkFailure f = read_plink_block(reader, pb, kBlockSites);
        std::swap(block, pb.block);
        return plink_ok(f) ? std::string() : plink_failure_text(f);
      },
      samples, *s.settings->structure, s.prefix, s.structure);
}

FetchedUnits fetch_block(PlinkStream& s, std::vector<SourceUnit>& done) {
  const PlinkRunSettings& settings = *s.settings;
  if (!s.opened) {
    s.opened = true;
    if (settings.structure) {
      FetchedUnits out;
      out.failure = fit_plink_structure(s);
      if (!out.failure.empty()) {
        out.status = SourceStatus::kFailed;
        return out;
      }
    }
    const PlinkReadOptions options = read_options(settings);
    const PlinkFailure f = open_plink(fileset_paths(settings, s.prefix), options, s.reader);
    if (!plink_ok(f)) return failed(f);
    const PlinkFailure x = set_sex_rule(s);
    if (!plink_ok(x)) return failed(x);
    warn_unknown_ids(settings.diagnostics, settings.pops_path, s.prefix, s.reader.pops.unknown,
                     s.settings->warned_unknown_ids);
    s.extent->per_item.store(static_cast<uint32_t>(std::max(population_count(s.reader), 1)));
    s.extent->total.store(bim_variants_in(s.reader.index, settings.regions));
    const uint64_t left_out = s.reader.index.left_out;
    if (left_out > 0)
      report_failure(settings.diagnostics, s.reader.paths.bim,
                     std::to_string(left_out) +
                         (left_out == 1 ? " variant has" : " variants have") +
                         " a negative position, left out as PLINK leaves them out");
  }
  const size_t populations = static_cast<size_t>(std::max(population_count(s.reader), 1));
  const PlinkFailure f = read_plink_block(
      s.reader, s.block, std::clamp(kBlockUnits / populations, size_t{1}, kBlockSites));
  if (!plink_ok(f)) return failed(f);
  FetchedUnits out;
  if (s.block.block.sites.empty()) {
    note_sex_linked_sites(s);
    return out;
  }
  out.status = SourceStatus::kUnits;
  SiteBlock& b = s.block.block;
  for (const PlinkSite& site : s.block.sites) {
    if (site.x_non_par || (!s.by_sex && site.kind == PlinkChromKind::kX)) ++s.x_sites;
    if (s.by_sex && (site.kind == PlinkChromKind::kY || site.kind == PlinkChromKind::kMito))
      ++s.left_out;
  }
  add_male_copies(s.block);
  if (settings.structure)
    test_block_structure(s.structure, b, settings.structure->threads, s.structure_tests);
  // In place of the units of a block analysed, as many as there are.
  out.units = std::move(done);
  out.units.reserve(b.units.size());
  size_t made = 0;
  for (size_t i = 0; i < b.units.size(); ++i) {
    const SiteUnit& u = b.units[i];
    const PlinkChromKind kind = s.block.sites[u.site].kind;
    if (s.by_sex && (kind == PlinkChromKind::kY || kind == PlinkChromKind::kMito)) continue;
    if (made == out.units.size()) out.units.emplace_back();
    SourceUnit& unit = out.units[made++];
    remake_site_source_unit(s.prefix, b, u,
                            s.reader.pops.names[static_cast<size_t>(u.population)], unit);
    if (settings.structure) unit.structure = s.structure_tests[i];
  }
  out.units.resize(made);
  return out;
}

// --list-regions: n regions per fileset, from its .bim alone. The exit
// status.
int list_plink_regions(const std::vector<char*>& prefixes, uint32_t n,
                       const PlinkRunSettings& settings) {
  int status = 0;
  std::vector<VcfRegion> regions;
  for (const char* prefix : prefixes) {
    const PlinkPaths paths = fileset_paths(settings, prefix);
    const BimIndex index = index_bim_file(paths.bim.c_str());
    if (!plink_ok(index.failure)) {
      report_failure(settings.diagnostics, prefix, plink_failure_text(index.failure));
      status = 1;
      continue;
    }
    const std::vector<VcfRegion> tiles = tile_bim_regions(index, n);
    regions.insert(regions.end(), tiles.begin(), tiles.end());
  }
  if (!print_regions(regions, settings.diagnostics)) status = 1;
  return status;
}

PreparedKind prepare_plink_run(BatchOptions& options, const Diagnostics& diagnostics) {
  auto settings = std::make_shared<PlinkRunSettings>();
  settings->diagnostics = diagnostics;
  settings->bed = options.bed;
  settings->bim = options.bim;
  settings->fam = options.fam;
  if (options.list_regions > 0) {
    return PreparedKind{.instead = [n = options.list_regions,
                                    settings](const std::vector<char*>& prefixes) {
      return list_plink_regions(prefixes, n, *settings);
    }};
  }
  if (!parse_run_regions(options.regions, diagnostics, settings->regions))
    return PreparedKind{.status = 2};
  // As the VCF reader takes them: overlaps joined (no variant read twice),
  // each chromosome's regions in order of position.
  settings->regions = merge_regions(settings->regions);
  if (options.by_phenotype && !options.pops.empty()) {
    report_failure(diagnostics, "--by-phenotype",
                   "the populations come from --pops or the phenotype, not both");
    return PreparedKind{.status = 2};
  }
  settings->by_phenotype = options.by_phenotype;
  settings->par = options.par;
  if (!options.sex.empty()) {
    if (!read_run_sexes(options.sex, diagnostics, settings->sexes))
      return PreparedKind{.status = 1};
    settings->has_sex = true;
    settings->sex_path = options.sex;
  }
  if (!options.pops.empty()) {
    if (!read_run_pops(options.pops, diagnostics, settings->pops))
      return PreparedKind{.status = 1};
    settings->has_pops = true;
    settings->pops_path = options.pops;
  }
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
  PreparedKind prepared{.open = [settings](const char* prefix) {
    auto stream = std::make_shared<PlinkStream>();
    stream->prefix = prefix;
    stream->settings = settings;
    return read_ahead(
        [stream](std::vector<SourceUnit>& done) { return fetch_block(*stream, done); },
        stream->extent);
  }};
  if (settings->structure)
    prepared.structure_fits = [fits = settings->structure->fits] {
      return structure_fits_text(*fits);
    };
  return prepared;
}

constexpr std::string_view kPlinkOptions[] = {
    "--pops", "--region", "--list-regions", "--bed",      "--bim",   "--fam",
    "--by-phenotype", "--sex", "--par",     "--hwe-pops", "--failed",
    "--structure",    "--structure-out"};
constexpr std::string_view kPlinkRefused[] = {"--report"};
constexpr FileContent kPlinkContents[] = {FileContent::kPlinkBed};

}  // namespace

const InputKind& plink_input() {
  static const InputKind kind{
      .syntax = {.name = "bfile",
                 .option = "--bfile",
                 .takes = kPlinkOptions,
                 .refuses = kPlinkRefused,
                 .settle = settle_site_options,
                 .exact_by_default = true,
                 .option_names_input = true},
      .id_columns = kind_columns(kSiteIdColumns),
      .counts_missing = true,
      .adjusts_p = true,
      .knows_sexes = true,
      .summary = {.populations = true, .combine_p = false},
      .page_style = PageStyle::kVcf,
      .contents = kPlinkContents,
      .prepare = prepare_plink_run};
  return kind;
}
