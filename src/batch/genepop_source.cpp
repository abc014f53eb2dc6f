#include "batch/genepop_source.h"

#include <memory>
#include <string>
#include <utility>

#include "batch/input_kind.h"
#include "genepop/classic_letters.h"
#include "genepop/genepop_data.h"
#include "genepop/genepop_reader.h"
#include "genotype/genotype_reader.h"

namespace {

// Units handed out at once: enough to keep every core on the exact tests.
constexpr size_t kBlockUnits = 256;

struct GenepopItem {
  const std::string& path;
  const GenepopTally& tally;
};

const IdColumn<GenepopItem> kIdColumns[] = {
    {"file", IdRole::kFile,
     [](TsvLine& line, const GenepopItem& u) { add_text_cell(line, u.path); }},
    {"population", IdRole::kPopulation,
     [](TsvLine& line, const GenepopItem& u) { add_int_cell(line, u.tally.population); }},
    {"pop_name", IdRole::kPopulationName,
     [](TsvLine& line, const GenepopItem& u) { add_text_cell(line, u.tally.pop_name); }},
    {"locus", IdRole::kLocus,
     [](TsvLine& line, const GenepopItem& u) { add_text_cell(line, u.tally.locus_name); }},
};

// Something to test: two allele classes with copies.
bool testable(const GenepopTally& t) { return t.n > 0 && tally_k(t) >= 2; }

// Counts only: the letters stay 0, as no character names such a class.
bool fill_unnamed_table(const GenepopTally& t, GenotypeTable& table) {
  const int32_t cells = cell_count_for(tally_k(t));
  if (!table.allocate_zeroed(static_cast<size_t>(cells))) return false;
  clear_genotype_table(table.data, cells);
  for (int32_t pos = 0; pos < cells; ++pos)
    table[static_cast<size_t>(pos)].count = t.genotype_counts[static_cast<size_t>(pos)];
  return true;
}

// The unit's counts in a classic table (with letters when there are few
// enough classes to name). False when memory runs out.
bool make_genotypes(const GenepopTally& t, GenotypeUnit& unit) {
  unit.mc_max_k = kLetteredMcClasses;
  if (tally_k(t) <= kMaxLetterClasses) return fill_classic_table(t, unit.table, unit.k, unit.two_n);
  if (!fill_unnamed_table(t, unit.table)) return false;
  unit.k = tally_k(t);
  unit.two_n = 2 * t.n;
  return true;
}

// Labels: the allele codes at the locus's width ("01", "104").
RowGenotypeCounts genepop_genotype_counts(const GenepopTally& t) {
  if (t.genotype_counts.size() != static_cast<size_t>(cell_count_for(tally_k(t)))) return {};
  return unit_genotype_counts(
      tally_k(t), [&t](int32_t c) -> int64_t { return t.genotype_counts[static_cast<size_t>(c)]; },
      [&t](int32_t i) {
        std::string code = std::to_string(t.allele_codes[static_cast<size_t>(i)]);
        if (code.size() < static_cast<size_t>(t.digits))
          code.insert(0, static_cast<size_t>(t.digits) - code.size(), '0');
        return code;
      });
}

}  // namespace

SourceUnit genepop_unit(const std::string& path, const GenepopTally& t) {
  SourceUnit unit;
  unit.id = id_cells(kIdColumns, GenepopItem{path, t});
  unit.name = path + ": population " + std::to_string(t.population) + ", locus " + t.locus_name;
  unit.k = tally_k(t);
  unit.n = t.n;
  unit.missing = t.missing;
  unit.counts = genepop_genotype_counts(t);
  unit.testable = testable(t);
  if (!unit.testable) return unit;
  if (!make_genotypes(t, unit.genotypes)) unit.failure = kMemoryErrorText;
  // A report without an experiment ends without a line feed: the heading
  // starts with one, as every report does, to stand on a line of its own.
  // A unit of more classes than letters gets no report (unit_driver.h).
  if (tally_k(t) <= kMaxLetterClasses)
    unit.report_heading.assign(1, '\n').append(format_genepop_heading(path.c_str(), t));
  return unit;
}

namespace {

// The file is read a population at a time; its units go out a block at a
// time, so that only one population's tallies are held.
struct GenepopStream {
  std::string path;
  GenepopFileReader reader;
  std::vector<GenepopTally> population;  // the population being handed out
  size_t next = 0;                       // its next tally
};

// Fills block up to kBlockUnits from the populations in file order.
SourceStatus pull_genepop_block(GenepopStream& s, std::vector<SourceUnit>& block,
                                std::string& failure) {
  block.clear();
  while (block.size() < kBlockUnits) {
    if (s.next >= s.population.size()) {
      s.next = 0;
      switch (next_genepop_population(s.reader, s.population)) {
        case GenepopPull::kPopulation:
          continue;
        case GenepopPull::kFailed:
          // Units already in the block are dropped; the driver takes back
          // the rows of the file's earlier blocks.
          block.clear();
          failure = describe_genepop_failure(s.reader.outcome);
          return SourceStatus::kFailed;
        case GenepopPull::kEnd:
          return block.empty() ? SourceStatus::kEnd : SourceStatus::kUnits;
      }
    }
    block.push_back(genepop_unit(s.path, s.population[s.next]));
    ++s.next;
  }
  return SourceStatus::kUnits;
}

UnitSource open_genepop_file(const char* path) {
  auto stream = std::make_shared<GenepopStream>();
  stream->path = path;
  open_genepop_reader(stream->reader, path);
  return UnitSource{[stream](std::vector<SourceUnit>& block, std::string& failure) {
    return pull_genepop_block(*stream, block, failure);
  }};
}

constexpr FileContent kGenepopContents[] = {FileContent::kGenepop};

// The filter's options that need populations or units with names.
constexpr std::string_view kGenepopOptions[] = {"--hwe-pops", "--failed"};

}  // namespace

const InputKind& genepop_input() {
  static const InputKind kind{.syntax = {.name = "genepop",
                                         .option = "--genepop",
                                         .takes = kGenepopOptions},
                              .id_columns = kind_columns(kIdColumns),
                              .counts_missing = true,
                              .adjusts_p = true,
                              .summary = {.loci = true, .populations = true},
                              .page_style = PageStyle::kGenepop,
                              .contents = kGenepopContents,
                              .prepare = [](BatchOptions&, const Diagnostics&) {
                                return PreparedKind{.open = open_genepop_file};
                              }};
  return kind;
}
