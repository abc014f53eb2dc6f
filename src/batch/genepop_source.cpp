#include "batch/genepop_source.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

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
    {"file", [](TsvLine& line, const GenepopItem& u) { add_text_cell(line, u.path); }},
    {"population",
     [](TsvLine& line, const GenepopItem& u) { add_int_cell(line, u.tally.population); }},
    {"pop_name", [](TsvLine& line, const GenepopItem& u) { add_text_cell(line, u.tally.pop_name); }},
    {"locus",
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
  unit.mc_max_k = kGenepopMcClasses;
  if (tally_k(t) <= kMaxLetterClasses) return fill_classic_table(t, unit.table, unit.k, unit.two_n);
  if (!fill_unnamed_table(t, unit.table)) return false;
  unit.k = tally_k(t);
  unit.two_n = 2 * t.n;
  return true;
}

}  // namespace

SourceUnit genepop_unit(const std::string& path, const GenepopTally& t) {
  SourceUnit unit;
  unit.id = id_cells(kIdColumns, GenepopItem{path, t});
  unit.name = path + ": population " + std::to_string(t.population) + ", locus " + t.locus_name;
  unit.k = tally_k(t);
  unit.n = t.n;
  unit.missing = t.missing;
  unit.population = std::to_string(t.population);
  TsvLine locus;
  add_text_cell(locus, t.locus_name);
  unit.locus = std::move(locus.text);
  unit.testable = testable(t);
  if (!unit.testable) return unit;
  if (!make_genotypes(t, unit.genotypes)) unit.failure = kMemoryErrorText;
  if (tally_k(t) > kMaxLetterClasses) {
    unit.not_reported =
        "more than " + std::to_string(kMaxLetterClasses) + " alleles, not in the report";
  } else {
    // A report without an experiment ends without a line feed: the heading
    // starts with one, as every report does, to stand on a line of its own.
    unit.report_heading = "\n" + format_genepop_heading(path.c_str(), t);
  }
  return unit;
}

namespace {

// The whole file is parsed at the first pull; its units go out a block at
// a time.
struct GenepopStream {
  std::string path;
  bool read = false;
  GenepopRead data;
  size_t next = 0;
};

UnitSource open_genepop_file(const char* path) {
  auto stream = std::make_shared<GenepopStream>();
  stream->path = path;
  return UnitSource{[stream](std::vector<SourceUnit>& block, std::string& failure) {
    GenepopStream& s = *stream;
    if (!s.read) {
      s.read = true;
      s.data = read_genepop_file(s.path.c_str());
      if (s.data.status != GenepopStatus::kOk) {
        failure = describe_genepop_failure(s.data);
        return SourceStatus::kFailed;
      }
    }
    const std::vector<GenepopTally>& tallies = s.data.data.tallies;
    if (s.next >= tallies.size()) return SourceStatus::kEnd;
    block.clear();
    const size_t end = std::min(tallies.size(), s.next + kBlockUnits);
    for (; s.next < end; ++s.next) block.push_back(genepop_unit(s.path, tallies[s.next]));
    return SourceStatus::kUnits;
  }};
}

}  // namespace

const InputKind& genepop_input() {
  static const InputKind kind{id_column_names(kIdColumns), true, true, open_genepop_file,
                              SummaryLayout{.loci = true, .populations = true},
                              UnitKind::kGenepop};
  return kind;
}
