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
#include <memory>
#include <optional>
#include <utility>

#include "batch/input_kind.h"
#include "batch/progress_line.h"
#include "batch/site_units.h"
#include "batch/structure_step.h"
#include "fileio/text_escape.h"
#include "parallel/worker_pool.h"
#include "sex/sex_file.h"
#include "sites/site_block.h"
#include "sites/site_key.h"
#include "vcf/region_tiling.h"
#include "vcf/sample_populations.h"
#include "vcf/vcf_copy.h"
#include "vcf/vcf_file.h"
#include "vcf/vcf_reader.h"
#include "vcf/vcf_region.h"

namespace {

// Sites read at once: enough units to keep every core on the exact tests,
// few enough that a block of thousands of samples stays small; with many
// populations, fewer sites, so that a block holds about as many units.
constexpr size_t kBlockSites = 512;
constexpr size_t kBlockUnits = 4096;

// At most this many IDs are named in a message.
constexpr size_t kNamedUnknownIds = 10;

struct VcfRunSettings {
  Diagnostics diagnostics;
  std::vector<VcfRegion> regions;
  bool has_pops = false;
  std::string pops_path;
  std::vector<PopsEntry> pops;
  int decode_threads = 0;  // extra BGZF decompression threads
  bool warned_unknown_ids = false;
  bool has_sex = false;
  std::string sex_path;
  std::vector<SexEntry> sexes;
  ParBuild par = kDefaultParBuild;
  bool warned_absent_sex_ids = false;
  bool warned_left_out = false;
  std::optional<StructureSettings> structure;  // with --structure
  KeptForm keep = KeptForm::kNone;             // with --annotate
  bool count_records = false;  // a progress line shows: its total from the index
};

void warn_absent_sex_ids(VcfRunSettings& settings, const std::string& path,
                         const std::vector<std::string>& absent) {
  warn_unknown_ids(settings.diagnostics, settings.sex_path, path, absent,
                   settings.warned_absent_sex_ids);
}

// What sex concerned in a file read to its end, said once per file.
void note_sex_linked_sites(const VcfRunSettings& settings, const std::string& path,
                           const VcfSexNotes& notes) {
  note_sex_linked_sites(settings.diagnostics, path, settings.has_sex,
                        {notes.x_sites, notes.left_out, notes.sexes.unknown},
                        "; --sex FILE gives the X-linked tests (males hemizygous)",
                        " (or not in " + settings.sex_path + ")");
}

// The first few IDs, escaped, joined; "..." when there are more than shown.
std::string id_examples(const std::vector<std::string>& ids, size_t total, const char* between) {
  std::string out;
  const size_t shown = std::min(ids.size(), kNamedUnknownIds);
  for (size_t i = 0; i < shown; ++i) {
    if (i > 0 || *between == ' ') out += between;
    out += escape_text(ids[i]);
  }
  if (total > shown) out += std::string(*between == ' ' ? " " : ", ") + "...";
  return out;
}

// A --pops file that names none of a file's samples (often FID_IID against
// IID) would give rows of n = 0 only: the file fails, with a few IDs of each
// side. Most of the samples left out is said once per run. False when the
// file fails, with the reason.
bool check_pops_match(VcfRunSettings& settings, const std::string& path,
                      const SamplePopulations& populations, std::string& failure) {
  const size_t samples = populations.of_sample.size();
  if (!settings.has_pops || samples == 0) return true;
  if (populations.left_out_count == samples) {
    std::vector<std::string> named;
    for (size_t i = 0; i < settings.pops.size() && i < kLeftOutExamples; ++i)
      named.push_back(settings.pops[i].sample);
    failure = "no sample is in the --pops file " + escape_text(settings.pops_path) +
              " (samples here: " + id_examples(populations.left_out, samples, ", ") +
              "; IDs there: " + id_examples(named, settings.pops.size(), ", ") + ")";
    return false;
  }
  if (2 * populations.left_out_count > samples && !settings.warned_left_out) {
    settings.warned_left_out = true;
    report_failure(settings.diagnostics, path,
                   std::to_string(populations.left_out_count) + " of " +
                       std::to_string(samples) + " samples are not in the --pops file " +
                       escape_text(settings.pops_path) +
                       " and are left out: " + id_examples(populations.left_out,
                                                           populations.left_out_count, ", "));
  }
  return true;
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

// Only the read-ahead thread touches the reader between pulls.
struct VcfStream {
  std::string path;
  std::shared_ptr<VcfRunSettings> settings;
  bool opened = false;
  VcfReader reader;
  SiteBlock block;
  FileStructure structure;  // with --structure, fitted before the first block
  std::vector<std::optional<InbreedingTest>> structure_tests;  // per unit of the block
  std::shared_ptr<SourceExtent> extent = std::make_shared<SourceExtent>();
};

VcfReadOptions read_options(const VcfRunSettings& settings) {
  VcfReadOptions options;
  options.regions = settings.regions;
  options.pops = settings.has_pops ? &settings.pops : nullptr;
  options.threads = settings.decode_threads;
  options.sexes = settings.has_sex ? &settings.sexes : nullptr;
  options.par = settings.par;
  options.site_codes = settings.structure.has_value();
  return options;
}

// The reader of the tests' pass keeps the records for --annotate.
VcfReadOptions tests_read_options(const VcfRunSettings& settings) {
  VcfReadOptions options = read_options(settings);
  options.keep = settings.keep;
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

FetchedUnits fetch_block(VcfStream& s, std::vector<SourceUnit>& done) {
  FetchedUnits out;
  if (!s.opened) {
    s.opened = true;
    if (s.settings->structure) {
      out.failure = fit_vcf_structure(s);
      if (!out.failure.empty()) {
        out.status = SourceStatus::kFailed;
        return out;
      }
    }
    const VcfFailure f = open_vcf(s.path.c_str(), tests_read_options(*s.settings), s.reader);
    if (!vcf_ok(f)) {
      out.status = SourceStatus::kFailed;
      out.failure = describe_vcf_failure(f);
      return out;
    }
    warn_unknown_ids(s.settings->diagnostics, s.settings->pops_path, s.path,
                     reader_populations(s.reader).unknown, s.settings->warned_unknown_ids);
    if (!check_pops_match(*s.settings, s.path, reader_populations(s.reader), out.failure)) {
      out.status = SourceStatus::kFailed;
      return out;
    }
    warn_open_notes(*s.settings, s.path, reader_notes(s.reader));
    if (s.settings->has_sex)
      warn_absent_sex_ids(*s.settings, s.path, reader_sex_notes(s.reader).sexes.absent);
    if (s.settings->count_records && s.path != "-") {
      s.extent->per_item.store(static_cast<uint32_t>(
          std::max<size_t>(reader_populations(s.reader).names.size(), 1)));
      s.extent->total.store(indexed_record_count(s.path.c_str(), s.settings->regions));
    }
  }
  const size_t populations = std::max<size_t>(reader_populations(s.reader).names.size(), 1);
  const VcfFailure f = read_site_block(
      s.reader, s.block, std::clamp(kBlockUnits / populations, size_t{1}, kBlockSites),
      s.settings->keep == KeptForm::kNone ? nullptr : &out.kept);
  if (!vcf_ok(f)) {
    out.status = SourceStatus::kFailed;
    out.failure = describe_vcf_failure(f);
    return out;
  }
  if (s.block.sites.empty()) {
    note_sex_linked_sites(*s.settings, s.path, reader_sex_notes(s.reader));
    return out;
  }
  out.status = SourceStatus::kUnits;
  out.units = std::move(done);
  remake_site_units(s.path, s.block, reader_populations(s.reader).names, out.units);
  if (s.settings->structure) {
    test_block_structure(s.structure, s.block, s.settings->structure->threads, s.structure_tests);
    // remake_site_units makes one unit per block unit, in the block's order.
    for (size_t i = 0; i < s.block.units.size(); ++i)
      out.units[i].structure = s.structure_tests[i];
  }
  return out;
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
  if (!parse_run_regions(options.regions, diagnostics, settings->regions))
    return PreparedKind{.status = 2};
  if (!options.pops.empty()) {
    if (!read_run_pops(options.pops, diagnostics, settings->pops))
      return PreparedKind{.status = 1};
    settings->has_pops = true;
    settings->pops_path = options.pops;
  }
  settings->par = options.par;
  if (!options.sex.empty()) {
    if (!read_run_sexes(options.sex, diagnostics, settings->sexes))
      return PreparedKind{.status = 1};
    settings->has_sex = true;
    settings->sex_path = options.sex;
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
  if (!options.annotate.empty()) {
    const std::optional<CopyFormat> format = copy_format_of(options.annotate);
    if (!format) {
      report_failure(diagnostics, "--annotate " + escape_text(options.annotate),
                     "not a name ending in .vcf, .vcf.gz, .vcf.bgz or .bcf, nor - (VCF on "
                     "standard output)");
      return PreparedKind{.status = 2};
    }
    settings->keep = kept_form_for(*format);
  }
  settings->count_records = progress_wanted();
  // Every site's streams are keyed under one seed for the whole run.
  if (!options.seed_given) {
    options.seed = static_cast<uint32_t>(std::time(nullptr));
    options.seed_given = true;
  }
  PreparedKind prepared{.open = [settings](const char* path) {
    auto stream = std::make_shared<VcfStream>();
    stream->path = path;
    stream->settings = settings;
    return read_ahead(
        [stream](std::vector<SourceUnit>& done) { return fetch_block(*stream, done); },
        stream->extent, stream->settings->keep != KeptForm::kNone);
  }};
  if (settings->structure)
    prepared.structure_fits = [fits = settings->structure->fits] {
      return structure_fits_text(*fits);
    };
  return prepared;
}

// The options only kinds of variant sites take, and the one this kind
// refuses: a VCF unit has no classic report to append.
constexpr std::string_view kVcfOptions[] = {
    "--pops", "--region",   "--list-regions", "--sex",          "--par",
    "--hwe-pops", "--failed", "--structure",  "--structure-out", "--annotate", "--drop-failed"};
constexpr std::string_view kVcfRefused[] = {"--report"};
constexpr FileContent kVcfContents[] = {FileContent::kVcf, FileContent::kBcf};

}  // namespace

const InputKind& vcf_input() {
  static const InputKind kind{
      .syntax = {.name = "vcf",
                 .option = "--vcf",
                 .takes = kVcfOptions,
                 .refuses = kVcfRefused,
                 .settle = settle_site_options,
                 .exact_by_default = true},
      .id_columns = kind_columns(kSiteIdColumns),
      .counts_missing = true,
      .adjusts_p = true,
      // Neighbouring sites are linked: the summary gives F_IS and the
      // heterozygosities per population and file, but combines no p-values.
      .summary = {.populations = true, .combine_p = false},
      .page_style = PageStyle::kVcf,
      .contents = kVcfContents,
      .prepare = prepare_vcf_run};
  return kind;
}
