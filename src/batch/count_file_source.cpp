// Count files as a batch input: the whole file is one unit, identified by
// the file's name ("-": standard input).
#include <unistd.h>

#include <memory>
#include <utility>

#include "batch/input_kind.h"
#include "genotype/genotype_reader.h"

namespace {

const IdColumn<std::string> kIdColumns[] = {
    {"file", IdRole::kFile,
     [](TsvLine& line, const std::string& path) { add_text_cell(line, path); }},
};

UnitSource open_count_file(const char* path) {
  auto done = std::make_shared<bool>(false);
  return UnitSource{[file = std::string(path), done](std::vector<SourceUnit>& block,
                                                      std::string& failure) {
    if (*done) return SourceStatus::kEnd;
    *done = true;
    // "-": standard input, through a copy of its descriptor, read once.
    GenotypeRead read = file == "-" ? read_genotype_descriptor(::dup(STDIN_FILENO))
                                    : read_genotype_file(file.c_str());
    if (read.status != ReadStatus::kOk) {
      failure = read_failure_reason(read);
      return SourceStatus::kFailed;
    }
    block.clear();
    SourceUnit& unit = block.emplace_back();
    unit.id = id_cells(kIdColumns, file);
    unit.name = file;
    // Labels: the allele letters of the file (allele i is the letter 65 + i).
    const GenotypeTable& table = read.parse.table;
    unit.counts = unit_genotype_counts(
        read.parse.k, [&table](int32_t c) -> int64_t { return table[static_cast<size_t>(c)].count; },
        [](int32_t i) { return std::string(1, static_cast<char>(65 + i)); });
    unit.genotypes.table = std::move(read.parse.table);
    unit.genotypes.k = read.parse.k;
    unit.genotypes.two_n = read.parse.two_n;
    return SourceStatus::kUnits;
  }};
}

}  // namespace

const InputKind& count_file_input() {
  static const InputKind kind{.syntax = {.name = "count"},
                              .id_columns = kind_columns(kIdColumns),
                              .prepare = [](BatchOptions&, const Diagnostics&) {
                                return PreparedKind{.open = open_count_file};
                              }};
  return kind;
}
