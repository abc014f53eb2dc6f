// What the results page draws, gathered while a run writes its rows: the
// driver hands over each unit's figures and each summary row, then has the
// page written. Genepop units and count files are kept whole (they are few);
// the sites of a variant file are thinned as they arrive (site_thinning.h),
// so the memory stays bounded whatever the number of sites.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "html/site_thinning.h"

// How the page draws a unit: a count file's residual triangle, a cell of a
// Genepop file's heat map, a site in a variant file's plots.
enum class PageStyle { kCountFile, kGenepop, kVcf };
enum class PageScope { kLocus, kPopulation, kFile };

inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

struct PageHeader {
  std::string command_line;
  std::string date;
  std::string version;
  std::string seed;  // as the run states it ("12345", or how it was drawn)
};

// One row as the driver holds it. The views need to live only for the call;
// the fields a kind does not have are left as they are.
struct UnitFigures {
  PageStyle style = PageStyle::kCountFile;
  std::string_view file;
  int32_t population = 0;             // Genepop: the population's number
  std::string_view population_name;   // Genepop and VCF
  std::string_view locus;             // Genepop
  std::string_view chrom;             // VCF
  int64_t pos = 0;                    // VCF
  std::string_view id;                // VCF
  int32_t k = 0;
  int64_t n = 0;
  double p = kNoValue;     // the leading p, as q_bh took it; NaN for an NA unit
  double q_bh = kNoValue;
  double f_is = kNoValue;  // NaN where it has no value
  double d = kNoValue;
  // A biallelic VCF site: its genotype counts AA, AB, BB (A the first allele
  // counted); -1 otherwise.
  std::array<int64_t, 3> genotypes{-1, -1, -1};
  // A count file: the allele letters, and per genotype (i <= j, row by row
  // of the upper triangle, k(k+1)/2 cells) the observed and expected counts.
  std::string_view alleles;
  std::span<const double> observed;
  std::span<const double> expected;
  // With the exact tests: the U score tests of the unit (NaN without).
  double p_u_deficit = kNoValue;
  double p_u_excess = kNoValue;
};

struct SummaryFigures {
  std::string_view file;
  PageScope scope = PageScope::kFile;
  std::string_view name;  // the locus, the population's number, or empty
  double p_fisher = kNoValue;
  double q_bh = kNoValue;
  double f_is = kNoValue;
  // The global U tests over the scope (NaN without).
  double p_u_deficit_global = kNoValue;
  double p_u_excess_global = kNoValue;
};

// ---- what is kept ----

struct HeatCell {
  int32_t population = 0;  // index into HeatMapData::populations
  int32_t locus = 0;       // index into HeatMapData::loci
  int32_t k = 0;
  int64_t n = 0;
  double p = kNoValue, q_bh = kNoValue, f_is = kNoValue, d = kNoValue;
  double p_u_deficit = kNoValue, p_u_excess = kNoValue;
};

struct PopulationLabel {
  int32_t number = 0;
  std::string name;
};

struct HeatMapData {  // one Genepop file
  std::string file;
  std::vector<PopulationLabel> populations;  // in order of appearance
  std::vector<std::string> loci;             // in order of appearance
  std::vector<HeatCell> cells;
};

struct ChromSpan {
  std::string name;
  int64_t first = 0, last = 0;  // the positions of its sites with a p
};

struct SiteGroup {  // one population of one variant file
  std::string file;
  std::string population;
  std::vector<ChromSpan> chroms;  // in order of appearance
  int64_t na_sites = 0;           // sites without a p (left out of every plot)
  ThinnedSites sites;
};

struct CountFileFigures {
  std::string file;
  std::string alleles;
  int32_t k = 0;
  int64_t n = 0;
  double p = kNoValue, q_bh = kNoValue;
  std::vector<double> observed, expected;  // triangle order as in UnitFigures
  double p_u_deficit = kNoValue, p_u_excess = kNoValue;
};

struct StoredSummary {
  std::string file;
  PageScope scope = PageScope::kFile;
  std::string name;
  double p_fisher = kNoValue, q_bh = kNoValue, f_is = kNoValue;
  double p_u_deficit_global = kNoValue, p_u_excess_global = kNoValue;
};

inline constexpr int64_t kMaxCountFilesDrawn = 50;

struct PageData {
  PageHeader header;
  // In the header too: the structure-robust test's K per file ("FILE: K =
  // 2, chosen by --structure auto ..."); empty without the test.
  std::string structure;
  // Per plot, of the sites with -log10 p < 2; at least 1, set before the
  // first site.
  int64_t thinning_cap = kThinningCap;
  std::vector<HeatMapData> genepop;
  std::vector<SiteGroup> vcf;
  std::vector<CountFileFigures> count_files;  // the first kMaxCountFilesDrawn
  int64_t count_files_left_out = 0;
  std::vector<StoredSummary> summaries;
  // The last group a site went to: consecutive sites of a population hit it.
  size_t last_group = 0;
};

// Takes one unit's figures. Units of a kind may come in any order; a unit
// the page cannot draw (a VCF site without a p) is counted, not kept.
void add_unit(PageData& page, const UnitFigures& unit);
void add_summary(PageData& page, const SummaryFigures& summary);
