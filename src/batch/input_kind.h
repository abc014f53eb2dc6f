// The registry of input kinds: each kind of input file the batch front end
// reads is one InputKind, with named fields, in one list (input_kinds.cpp).
// Everything that differs between kinds is a field here, read by the steps
// that need it: the command line (its option, the options it takes or
// refuses, its defaults), the run (its run-wide settings and how its files
// are opened), the rows (identifying columns, a `missing` column, p_lead and
// q_bh), the summary (its layout), the results page (its style) and the
// merge (which kind a row table is, from its header).
//
// A new kind is a reader folder under src/, a source file here
// (src/batch/<kind>_source.cpp) defining its entry, and that entry named in
// the registry.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "batch/diagnostics.h"
#include "batch/unit_source.h"
#include "cli/command_line.h"
#include "fileio/file_format.h"
#include "html/page_data.h"
#include "summary/summary_table.h"

struct KindColumn {
  const char* name;
  IdRole role;
};

// What a kind makes of the options once, before any file. With `open` the
// run goes on and reads its files so; without it, `instead` (when set) does
// the job the options asked for in place of the tests (--list-regions) and
// gives the exit status, or else the run ends with `status` (1, or 2 for a
// usage error), the reason already told.
struct PreparedKind {
  UnitOpener open{};
  std::function<int(const std::vector<char*>& files)> instead{};
  int status = 1;
  // With --structure: the K of each file's fit, for the page's header, read
  // after the last file.
  std::function<std::string()> structure_fits{};
};

struct InputKind {
  InputSyntax syntax{};                  // its option and the options it takes or refuses
  std::vector<KindColumn> id_columns{};  // the identifying columns: names of SourceUnit::id
  bool counts_missing = false;           // a `missing` column after `k n`
  // q_bh over all rows of the run: the rows wait for the run's end.
  bool adjusts_p = false;
  // Its files give the samples' sexes themselves (a .fam's column 5): the
  // columns of the X-linked tests are on every row, as with --sex.
  bool knows_sexes = false;
  // The rows of --summary for this kind (the exact tests' directions are
  // added where they ran): by default the file rows only.
  SummaryLayout summary{};
  PageStyle page_style = PageStyle::kCountFile;  // how the results page draws its units
  // What its files hold, as their first bytes tell (file_format.h): a file
  // of such content given to another kind is named with this kind's option.
  std::span<const FileContent> contents{};
  // Run-wide settings (it may set options' defaults, such as the seed).
  PreparedKind (*prepare)(BatchOptions& options, const Diagnostics& diagnostics) = nullptr;
};

template <class Item, size_t N>
std::vector<KindColumn> kind_columns(const IdColumn<Item> (&columns)[N]) {
  std::vector<KindColumn> out;
  for (const IdColumn<Item>& column : columns) out.push_back({column.name, column.role});
  return out;
}

// Every registered kind, in registry order (the order in which two kinds'
// options are named when they exclude each other).
std::span<const InputKind* const> input_kinds();

// The kind of BatchOptions::kind; the kind without an option for an empty name.
const InputKind& find_input_kind(std::string_view name);

// What the command line needs of every kind, in registry order.
std::vector<InputSyntax> input_syntax();

// The kind whose identifying columns a row table's header names: of the
// kinds whose columns it has, the one with the most; none of them, the kind
// with the fewest columns.
const InputKind& kind_of_header(std::span<const std::string_view> header);

// Where a file that `kind` could not read is, by its first bytes, a file
// another kind reads: "a VCF file: read it with --vcf" (for a fileset, with
// the prefix, also where a fileset's own file was given for its prefix). Empty otherwise, and for standard input or a stream, which
// are never read here.
std::string reading_hint(const InputKind& kind, const char* path);

// The cell of the first identifying column with the role, or none.
std::optional<size_t> id_column_with(const InputKind& kind, IdRole role);
