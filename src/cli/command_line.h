// The command line of both front ends. Options start with "--"; "--" ends
// them. Without any option the arguments keep their interactive meaning
// (input files, the last one the output file when there are two or more).
// Option values come as "--name VALUE" or "--name=VALUE".
//
// The batch options live in one table (batch_option_table): any option of
// it selects batch mode by itself, as --batch does, so a new option added
// there needs nothing else to do so. --merge is a mode of its own and takes
// only files (row tables) and the options marked for it.
//
// Input kinds are not known here: the front end hands the parser what each
// registered kind says of the command line (InputSyntax), so that which
// options a kind takes or refuses is one entry of data, not code.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "exact/exact_limits.h"
#include "sex/chromosome.h"

// A file named by an option: "--summary", "out.tsv".
struct OptionFile {
  std::string option;
  std::string path;
};

struct BatchOptions {
  std::string kind;            // InputSyntax::name of the kind; empty: the kind without option
  uint32_t runs = 0;           // 0: no experiment
  bool seed_given = false;
  uint32_t seed = 0;
  std::string report;          // empty: no report
  bool exact = false;
  uint64_t max_tables = kDefaultMaxTables;
  uint64_t tables = kDefaultTables;
  // --tables auto: sequential stopping, with `tables` as the limit.
  bool tables_auto = false;
  // --tables given at all (a kind may choose another default without it).
  bool tables_given = false;
  uint32_t threads = 0;              // 0: all cores
  std::string pops;                  // --pops FILE; empty: one population "all"
  std::vector<std::string> regions;  // --region, as given (checked when the run starts)
  uint32_t list_regions = 0;         // --list-regions N: print N regions per file, no tests
  std::string sex;                   // --sex FILE; empty: sexes unknown, X as autosomes
  ParBuild par = kDefaultParBuild;   // --par: the pseudo-autosomal regions of X
  std::string summary;         // empty: no summary table
  // --columns: the row's columns to write, by their header names, in this
  // order; empty: all of them.
  std::vector<std::string> columns;
  std::string html;          // empty: no results page
  std::string figures;       // --figures DIR: each figure as SVG and PDF; empty: none
  // Quality control: --hwe P marks a unit failing when its leading p (with
  // --hwe-midp its mid-p, where it has one) is below P in a deciding
  // population (--hwe-pops; none named: every population). P is kept as its
  // log10 too, so that thresholds below the double range compare.
  bool no_exact = false;  // --no-exact: not even a kind's default exact tests
  bool hwe = false;
  double hwe_p = 0;       // 0 where P lies below the double range
  double hwe_log10 = 0;
  bool hwe_midp = false;
  std::vector<std::string> hwe_pops;
  std::string failed;     // --failed FILE: the failing units' names; empty: none
  // --annotate OUT: a copy of the input with the tests' INFO tags (and with
  // --hwe the FILTER), "-" for VCF on standard output in place of the rows;
  // --drop-failed leaves the failing records out of it.
  std::string annotate;
  bool drop_failed = false;
  // --structure K|auto: the structure-robust test (0: none); with auto,
  // structure_components is 0 and the run chooses K.
  bool structure = false;
  int32_t structure_components = 0;
  std::string structure_out;  // --structure-out FILE: sample, PC1..PCK
  std::string command_text;  // the whole command line, for the page's header
  // PLINK filesets: --bed, --bim and --fam name one file of the fileset
  // apart (empty: PREFIX.bed, ...); --by-phenotype groups the samples by
  // the .fam's phenotype.
  std::string bed, bim, fam;
  bool by_phenotype = false;
  // The values of the options that name files, as given (the last of a
  // repeated option): what the run writes, and what it reads besides its
  // operands, so that an output over an input is refused whatever option
  // names it.
  std::vector<OptionFile> output_files;
  std::vector<OptionFile> input_files;
};

// One option of batch mode. Its properties are data that later steps read:
// a workflow refuses every option that names an output file, since it
// chooses those itself.
struct BatchOption {
  const char* name;
  bool takes_value;
  const char* range;  // how a value is described in a usage error
  // Applies a value to the options; false when it is not acceptable.
  bool (*apply)(BatchOptions& options, std::string_view value);
  bool names_output = false;  // the value is a file the run writes
  bool with_merge = false;    // --merge takes it too
  bool names_input = false;   // the value is a file the run reads
};

std::span<const BatchOption> batch_option_table();

// A p threshold 0 < P < 1 as a decimal ("1e-6", "0.001", also "1e-600"
// below the double range): its log10 to about 1e-15 relative, and the
// double (0 where it underflows). None for anything else.
struct PThreshold {
  double p = 0;
  double log10 = 0;
};
std::optional<PThreshold> parse_p_threshold(std::string_view text);

// What the command line knows of one input kind.
struct InputSyntax {
  const char* name = "";         // BatchOptions::kind once chosen
  const char* option = nullptr;  // the option that chooses it; null: the kind chosen without one
  // Options meant for some kinds only: given with a kind that does not list
  // them, "option X needs --KIND" (naming every kind that takes them).
  std::span<const std::string_view> takes{};
  // Options this kind refuses: "option X is not available with --KIND".
  std::span<const std::string_view> refuses{};
  // The kind's own defaults, once every option is read.
  void (*settle)(BatchOptions& options) = nullptr;
  // The exact tests run unless --no-exact (a kind read for quality control,
  // where peers lead with the exact test).
  bool exact_by_default = false;
  // The option takes a value, one input of the run (a file or a prefix of
  // files), and may be given again; its inputs are the run's operands, and
  // it takes no others.
  bool option_names_input = false;
};

enum class CommandKind { kInteractive, kBatch, kMerge, kHelp, kVersion, kUsageError };

struct CommandLine {
  CommandKind kind = CommandKind::kInteractive;
  BatchOptions options;
  std::vector<char*> operands;  // files (and, interactive, the output file)
  std::string error;            // kUsageError: what is wrong, one line
};

// Two kinds' options given together exclude each other; they are named in
// the order of `kinds`.
CommandLine parse_command_line(int argc, char** argv, std::span<const InputSyntax> kinds);

// The text of --help: both modes and every option.
std::string usage_text(const char* program);
// The short line that follows a usage error's message.
std::string usage_hint(const char* program);

// A command line as one line of text a reader can type again: the words
// joined by spaces, each word that a POSIX shell would split or expand
// quoted ("..." with \ before " \ $ `; '...' where the word holds a line
// break or other control character, which stays as it is).
std::string shell_word(std::string_view word);
std::string command_text(int argc, char** argv);
