// What every kind of variant-site input (VCF and BCF, PLINK filesets) shares
// on its way from a SiteBlock to the driver: the identifying columns
// (file chrom pos id ref alt population), one SourceUnit per unit of a block
// with its draws keyed by the site (site_unit_key), the run's --region list,
// the one warning about --pops IDs no file has, and a reader that runs one
// block ahead on a thread of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "batch/diagnostics.h"
#include "batch/unit_source.h"
#include "cli/command_line.h"
#include "sex/sex_file.h"
#include "sites/site_block.h"
#include "vcf/sample_populations.h"
#include "vcf/vcf_region.h"

struct SiteItem {
  const std::string& path;
  const SiteBlock& block;
  const VariantSite& site;
  const std::string& population;
};

extern const IdColumn<SiteItem> kSiteIdColumns[7];

// A site without GT, or with fewer than two alleles among its counted
// genotypes, is a unit without a table (an NA row).
SourceUnit site_source_unit(const std::string& path, const SiteBlock& b, const SiteUnit& u,
                            const std::string& population);

// The same unit made in place of one already analysed, whose texts lend
// their memory (a block of thousands of units then allocates far less).
void remake_site_source_unit(const std::string& path, const SiteBlock& b, const SiteUnit& u,
                             const std::string& population, SourceUnit& unit);

// Every unit of the block, in the block's order, made in place of the
// units `units` held (analysed ones, or none); `names` are the reader's
// population names.
void remake_site_units(const std::string& path, const SiteBlock& b,
                       const std::vector<std::string>& names, std::vector<SourceUnit>& units);

// The --region texts as regions; false after saying which one is none (a
// usage error).
bool parse_run_regions(const std::vector<std::string>& texts, const Diagnostics& diagnostics,
                       std::vector<VcfRegion>& out);

// Warns once per run (`warned`) that IDs of the --pops file are samples of
// no input, naming the first few.
void warn_unknown_ids(const Diagnostics& diagnostics, const std::string& pops_path,
                      const std::string& path, const std::vector<std::string>& unknown,
                      bool& warned);

// --list-regions: the regions on standard output, one a line; false after
// saying that it could not be written.
bool print_regions(const std::vector<VcfRegion>& regions, const Diagnostics& diagnostics);

// The --sex file's entries; false after saying why it cannot be read.
bool read_run_sexes(const std::string& path, const Diagnostics& diagnostics,
                    std::vector<SexEntry>& out);

// The --pops file's entries; false after saying why it cannot be read.
bool read_run_pops(const std::string& path, const Diagnostics& diagnostics,
                   std::vector<PopsEntry>& out);

// What sex concerned in a file read to its end. Without sexes (by_sex
// false) the X sites outside the pseudo-autosomal regions were tested as
// autosomes, `why_autosomes` after the count saying why; with them, the sites
// on Y or the mitochondria were left out, and the samples of unknown sex
// (`unknown_where` after their count: where else they came from) were left
// out of the X sites.
struct SexLinkedCounts {
  uint64_t x_sites = 0;     // on X outside the pseudo-autosomal regions
  uint64_t left_out = 0;    // with sexes: on Y or the mitochondria
  int64_t unknown_sex = 0;  // with sexes: samples of unknown sex
};
void note_sex_linked_sites(const Diagnostics& diagnostics, const std::string& path, bool by_sex,
                           const SexLinkedCounts& counts, const std::string& why_autosomes,
                           const std::string& unknown_where);

// The defaults of a kind of variant sites: sequential sampling unless a
// count of tables is given.
void settle_site_options(BatchOptions& o);

struct FetchedUnits {
  SourceStatus status = SourceStatus::kEnd;
  std::vector<SourceUnit> units;
  std::string failure;
  KeptRecords kept;  // where the source keeps its records
};

// A source that calls fetch for the next block while the driver analyses
// the one before: only that thread calls fetch between pulls, so fetch owns
// its reader alone. fetch is given the units of a block the driver is done
// with (or none), to make its units in place of them or to drop. The
// extent, where given, is the source's. With `keeps_records` the source's
// records() gives the kept records of the block last handed out.
using FetchUnits = std::function<FetchedUnits(std::vector<SourceUnit>& done)>;
UnitSource read_ahead(FetchUnits fetch, std::shared_ptr<SourceExtent> extent = nullptr,
                      bool keeps_records = false);
