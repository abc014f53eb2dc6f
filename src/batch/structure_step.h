// The structure-robust test as a step of any source of variant sites that
// can hand out its sites' codes (SiteBlock::codes): two passes over each
// file. Pass one (fit_file_structure) reads every site once, keeps the PCA
// sites among the biallelic autosomal ones and fits the model (K given, or
// chosen); the file is then opened again and, block by block,
// test_block_structure tests every biallelic autosomal site of pass two.
// A kind gets the test by reading its file once more for pass one; an input
// that cannot be read twice (a stream) is refused by structure_input_refusal.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "batch/diagnostics.h"
#include "cli/command_line.h"
#include "sex/chromosome.h"
#include "sites/site_block.h"
#include "structure/component_choice.h"
#include "structure/inbreeding_fit.h"
#include "structure/structure_model.h"
#include "structure/structure_site.h"

// The fits of a run's files, as the page's header gives them: each file
// fitted adds its line from its source's thread.
struct StructureFits {
  std::mutex lock;
  std::vector<std::string> lines;
};

// The lines joined by "; ".
std::string structure_fits_text(StructureFits& fits);

struct StructureSettings {
  bool automatic = false;  // choose K
  int32_t components = 0;  // K when given
  unsigned threads = 0;    // as --threads; the figures do not depend on it
  std::string out_path;    // --structure-out, or empty
  ParBuild par = kDefaultParBuild;  // --par: X sites in it are tested as autosomal ones
  Diagnostics diagnostics;
  // Files fitted so far in the run: --structure-out holds one file's PCs,
  // so a second file is refused rather than written over the first's.
  std::shared_ptr<int> fitted = std::make_shared<int>(0);
  std::shared_ptr<StructureFits> fits = std::make_shared<StructureFits>();
};

StructureSettings structure_settings(const BatchOptions& options, const Diagnostics& diagnostics);

// The reason a file cannot take the two passes ("-", a pipe, a terminal),
// empty when it can.
std::string structure_input_refusal(const char* path);

// Whether a site takes the test: two alleles, on an autosome (or in a
// pseudo-autosomal region of the build `par`), with its calls coded. X
// outside those regions takes none, with or without the samples' sexes:
// males carry one copy there, which the model of two copies does not fit,
// and the females alone would need frequencies of their own.
bool structure_site(const SiteBlock& block, const VariantSite& site, ParBuild par);

// A file's model and its populations, read-only during pass two.
struct FileStructure {
  StructureModel model;
  StructureGroups groups;
  std::optional<ComponentChoice> choice;  // with auto
  ParBuild par = kDefaultParBuild;
};

// Pass one's reader: fills the next block with codes (an empty block at the
// end); a failure's reason, empty when the block was read.
using SiteBlockReader = std::function<std::string(SiteBlock& block)>;

// The file's samples and their populations (population_of_sample as
// group_samples takes it).
struct StructureSamples {
  const std::vector<std::string>* ids = nullptr;
  const std::vector<int32_t>* population_of_sample = nullptr;
  int32_t populations = 1;
};

// Pass one: reads the whole file, fits the model, tells the K chosen on
// standard error and writes --structure-out. Gives the failure's reason,
// empty on success.
std::string fit_file_structure(const SiteBlockReader& read, const StructureSamples& samples,
                               const StructureSettings& settings, const std::string& path,
                               FileStructure& out);

// Pass two on one block: for every unit of the block (SiteBlock::units),
// its population's test at its site, or none where the site takes none.
// The sites are shared out over the threads.
void test_block_structure(const FileStructure& fit, const SiteBlock& block, unsigned threads,
                          std::vector<std::optional<InbreedingTest>>& per_unit);
