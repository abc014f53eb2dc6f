// The command line of both front ends. Options start with "--"; "--" ends
// them. Without any option the arguments keep their interactive meaning
// (input files, the last one the output file when there are two or more).
// Option values come as "--name VALUE" or "--name=VALUE".
//
// The batch options live in one table (command_line.cpp): any option of it
// selects batch mode by itself, as --batch does, so a new option added
// there needs nothing else to do so. --merge is a mode of its own and takes
// only files (row tables).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "exact/exact_tests.h"

struct BatchOptions {
  uint32_t runs = 0;           // 0: no experiment
  bool seed_given = false;
  uint32_t seed = 0;
  std::string report;          // empty: no report
  bool exact = false;
  uint64_t max_tables = kDefaultMaxTables;
  uint64_t tables = kDefaultTables;
  // --tables auto: sequential stopping, with `tables` as the limit.
  bool tables_auto = false;
  uint32_t threads = 0;        // 0: all cores
  bool genepop = false;
  // --tables given at all: without it --vcf samples with --tables auto.
  bool tables_given = false;
  // VCF and BCF input: implies batch mode.
  bool vcf = false;
  std::string pops;                  // --pops FILE; empty: one population "all"
  std::vector<std::string> regions;  // --region, as given (checked when the run starts)
  uint32_t list_regions = 0;         // --list-regions N: print N regions per file, no tests
  std::string summary;         // empty: no summary table
  std::string html;          // empty: no results page
  std::string command_text;  // the whole command line, for the page's header
};

enum class CommandKind { kInteractive, kBatch, kMerge, kHelp, kVersion, kUsageError };

struct CommandLine {
  CommandKind kind = CommandKind::kInteractive;
  BatchOptions options;
  std::vector<char*> operands;  // files (and, interactive, the output file)
  std::string error;            // kUsageError: what is wrong, one line
};

CommandLine parse_command_line(int argc, char** argv);

// The text of --help: both modes and every option.
std::string usage_text(const char* program);
// The short line that follows a usage error's message.
std::string usage_hint(const char* program);
