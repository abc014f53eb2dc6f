#include "batch/structure_step.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <new>

#include "fileio/fd_io.h"
#include "fileio/unique_fd.h"
#include "sex/chromosome.h"
#include "structure/pca_sites.h"
#include "structure/structure_svd.h"
#include "structure/worker_items.h"
#include "tsv/tsv_line.h"

namespace {

// The PCs of every sample: sample, PC1..PCK. False when it cannot be written.
bool write_components(const std::string& out_path, const StructureModel& model,
                      const std::vector<std::string>& ids) {
  std::string text;
  TsvLine header;
  add_cell(header, "sample");
  for (int32_t c = 0; c < model.components; ++c) add_cell(header, "PC" + std::to_string(c + 1));
  text += finish_line(header);
  for (int32_t i = 0; i < model.samples; ++i) {
    TsvLine line;
    add_text_cell(line, ids[static_cast<size_t>(i)]);
    for (int32_t c = 0; c < model.components; ++c)
      add_double_cell(line, model_vector(model, i, c));
    text += finish_line(line);
  }
  UniqueFd file(::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!file.is_open()) return false;
  return write_all(file.fd, text.data(), text.size()) && file.close_now() == 0;
}

std::string inflation_text(double lambda) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", lambda);
  return text;
}

// "--structure auto: K = 2 (inflation 1.012)", and when no K up to the
// largest was calibrated, that K is the nearest.
std::string choice_note(const ComponentChoice& choice) {
  const size_t at = static_cast<size_t>(choice.components) - 1;
  const double lambda = at < choice.inflation.size() ? choice.inflation[at] : std::nan("");
  std::string note = "--structure auto: K = " + std::to_string(choice.components) +
                     " (genomic inflation " + inflation_text(lambda) + " over " +
                     std::to_string(choice.sites) + " null-looking sites)";
  if (!choice.calibrated)
    note += "; no K up to " + std::to_string(kMaxAutoComponents) +
            " is within 1 +- 0.05, this one is the nearest";
  return note;
}

// "K = 3, given", or "K = 2, chosen by --structure auto (...)".
std::string fit_line(const std::string& path, const FileStructure& fit) {
  std::string line = path + ": K = " + std::to_string(fit.model.components);
  if (!fit.choice) return line + ", given by --structure";
  const std::string note = choice_note(*fit.choice);
  const size_t detail = note.find(" (");
  return line + ", chosen by --structure auto" +
         (detail == std::string::npos ? "" : note.substr(detail));
}

}  // namespace

std::string structure_fits_text(StructureFits& fits) {
  const std::lock_guard<std::mutex> held(fits.lock);
  std::string text;
  for (const std::string& line : fits.lines) text += (text.empty() ? "" : "; ") + line;
  return text;
}

StructureSettings structure_settings(const BatchOptions& options, const Diagnostics& diagnostics) {
  StructureSettings s;
  s.automatic = options.structure && options.structure_components == 0;
  s.components = options.structure_components;
  s.threads = options.threads;
  s.out_path = options.structure_out;
  s.par = options.par;
  s.diagnostics = diagnostics;
  return s;
}

std::string structure_input_refusal(const char* path) {
  const std::string refusal =
      "--structure reads each file twice, which a stream cannot be: write it to a file first";
  if (std::string_view(path) == "-") return refusal;
  struct stat st {};
  // A file that cannot be opened gets the reader's own message.
  if (::stat(path, &st) != 0) return {};
  return S_ISREG(st.st_mode) ? std::string() : refusal;
}

bool structure_site(const SiteBlock& block, const VariantSite& site, ParBuild par) {
  if (site.n_allele != 2 || !site.has_gt || block.code_samples == 0) return false;
  const SiteKind kind = classify_site(classify_contig(site_chrom(block, site)), site.pos, par);
  return kind == SiteKind::kAutosomal;
}

std::string fit_file_structure(const SiteBlockReader& read, const StructureSamples& samples,
                               const StructureSettings& settings, const std::string& path,
                               FileStructure& out) {
  if (!settings.out_path.empty() && *settings.fitted > 0)
    return "--structure-out takes the components of one input file; run the files one by one";
  ++*settings.fitted;
  const int32_t n = static_cast<int32_t>(samples.ids->size());
  PcaSites sites;
  if (!start_pca_sites(n, 0, sites)) return "out of memory";
  SiteBlock block;
  for (;;) {
    const std::string failure = read(block);
    if (!failure.empty()) return failure;
    if (block.sites.empty()) break;
    for (size_t s = 0; s < block.sites.size(); ++s) {
      if (structure_site(block, block.sites[s], settings.par))
        offer_pca_site(sites, site_codes(block, s));
    }
  }
  const SvdSettings svd;
  StructureStatus status;
  if (settings.automatic) {
    StructureModel full;
    status = fit_structure(sites, kMaxAutoComponents, svd, settings.threads, full);
    if (status == StructureStatus::kOk) {
      ComponentChoice choice;
      status = choose_components(sites, full, settings.threads, choice);
      if (status == StructureStatus::kOk) {
        out.model = leading_components(full, choice.components);
        report_failure(settings.diagnostics, path, choice_note(choice));
        out.choice = std::move(choice);
      }
    }
  } else {
    status = fit_structure(sites, settings.components, svd, settings.threads, out.model);
  }
  if (status != StructureStatus::kOk)
    return std::string("--structure: ") + structure_failure_words(status);
  out.groups = group_samples(*samples.population_of_sample, samples.populations);
  out.par = settings.par;
  {
    const std::lock_guard<std::mutex> held(settings.fits->lock);
    settings.fits->lines.push_back(fit_line(path, out));
  }
  if (!settings.out_path.empty() && !write_components(settings.out_path, out.model, *samples.ids))
    return "--structure-out " + settings.out_path + ": failure at writing";
  return {};
}

void test_block_structure(const FileStructure& fit, const SiteBlock& block, unsigned threads,
                          std::vector<std::optional<InbreedingTest>>& per_unit) {
  per_unit.assign(block.units.size(), std::nullopt);
  const size_t populations = static_cast<size_t>(group_count(fit.groups));
  std::vector<InbreedingTest> tests(block.sites.size() * populations);
  std::vector<char> tested(block.sites.size(), 0);
  const bool done = run_items_with_scratch<StructureWorkspace>(
      block.sites.size(), threads,
      [&](StructureWorkspace& work) { return prepare_structure_workspace(fit.model, work); },
      [&](size_t s, StructureWorkspace& work) {
        if (!structure_site(block, block.sites[s], fit.par)) return;
        test_site_structure(fit.model, site_codes(block, s), fit.groups, work,
                            tests.data() + s * populations);
        tested[s] = 1;
      });
  if (!done) throw std::bad_alloc();
  for (size_t u = 0; u < block.units.size(); ++u) {
    const SiteUnit& unit = block.units[u];
    const size_t p = static_cast<size_t>(unit.population);
    if (tested[unit.site] && p < populations) per_unit[u] = tests[unit.site * populations + p];
  }
}
