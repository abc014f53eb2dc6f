// Where batch units come from: one input file read as a stream of units,
// each with the cells that identify it in its row. The driver
// (unit_driver.h) analyses whatever a source hands out; what a kind of
// input is besides its source is its registry entry (input_kind.h).
//
// A source is pulled a block at a time, so a file of millions of units is
// never held whole: only the block being analysed is in memory.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "batch/unit_analysis.h"
#include "exact/x_linked_exact.h"
#include "figures/genotype_counts.h"
#include "structure/inbreeding_fit.h"
#include "tsv/tsv_line.h"
#include "vcf/kept_records.h"

struct SourceUnit {
  TsvLine id;        // the identifying cells, as the kind's id_columns name them
  std::string name;  // the unit in a message: "FILE" or "FILE: population 2, locus L"
  // Without a table (nothing to test) the row is NA and there is no report.
  bool testable = true;
  GenotypeUnit genotypes;
  std::string failure;  // the unit could not be made (memory): no row, a message
  // The unit's size as the source counts it, shown where nothing was
  // analysed; an analysed unit shows its analysis's figures.
  int32_t k = 0;
  int32_t n = 0;
  int32_t missing = 0;  // individuals not typed, where the kind counts them
  // The genotypes the source counted, as the row shows them (on a site
  // counted by sex, the females').
  RowGenotypeCounts counts;
  // The structure-robust test of the unit's population at its site, where
  // the run has one (structure_step.h); it goes into the unit's result.
  std::optional<InbreedingTest> structure;
  // Written before the unit's report, for a kind whose units have reports.
  std::string report_heading;
  // A site counted by sex (X outside the pseudo-autosomal regions, sexes
  // known): the genotypes are the females', and beside them the males and
  // females with a call, the males' heterozygous calls, and the sample of
  // the X-linked test over every allele either sex carries (k < 2: none),
  // drawn from its own key.
  bool by_sex = false;
  int32_t males = 0;
  int32_t females = 0;
  int32_t male_het = 0;
  XLinkedSample x_linked;
  uint64_t x_linked_key = 0;
};

enum class SourceStatus { kUnits, kEnd, kFailed };

// next(block, failure) replaces block with the next units of the file
// (kUnits, at least one), or says the file is done (kEnd) or cannot be read
// further (kFailed, the reason in failure, without the file name).
// How many units a file will give, as far as its source knows (an index's
// record counts, a .bim's lines), for the progress line: `total` items
// (0: not known) of `per_item` units each (a site's populations). Set by
// the source, perhaps on its read-ahead thread, read by the driver.
struct SourceExtent {
  std::atomic<uint64_t> total{0};
  std::atomic<uint32_t> per_item{1};
};

struct UnitSource {
  std::function<SourceStatus(std::vector<SourceUnit>& block, std::string& failure)> next;
  // For a kind that keeps its records to be written again (--annotate):
  // the records read with the units `next` handed out last, their units
  // numbered within that block; after kEnd, those read after the last unit.
  // Empty for the other kinds.
  std::function<KeptRecords()> records{};
  std::shared_ptr<SourceExtent> extent{};  // null: nothing known beforehand
};

using UnitOpener = std::function<UnitSource(const char* path)>;

// What an identifying column is to the steps after the row: the summary
// groups units by their population and locus cells, the results page names
// them from these. Where a kind has no population name column, its
// population column names the population too.
enum class IdRole { kOther, kFile, kPopulation, kPopulationName, kLocus, kChrom, kPos, kSiteId };

// One identifying column of a source, over the source's own record of a
// unit: its name, its role and how its cell is written, side by side so
// that the header and the cells come from one list.
template <class Item>
struct IdColumn {
  const char* name;
  IdRole role;
  void (*write)(TsvLine& line, const Item& item);
};

// The cells after those already in `line`.
template <class Item, size_t N>
void append_id_cells(const IdColumn<Item> (&columns)[N], const Item& item, TsvLine& line) {
  for (const IdColumn<Item>& column : columns) column.write(line, item);
}

template <class Item, size_t N>
TsvLine id_cells(const IdColumn<Item> (&columns)[N], const Item& item) {
  TsvLine line;
  line.text.reserve(128);  // most lines in one allocation
  append_id_cells(columns, item, line);
  return line;
}
