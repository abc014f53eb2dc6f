#include "cli/command_line.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>

#include "montecarlo/run_limit.h"

namespace {

// A decimal number without sign, space or trailing text, within [low, high].
std::optional<uint64_t> parse_number(std::string_view text, uint64_t low, uint64_t high) {
  // Longer than any number in range, however many leading zeros: refused.
  if (text.size() > 20) return std::nullopt;
  uint64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc{} || stop != end)
    return std::nullopt;
  if (value < low || value > high) return std::nullopt;
  return value;
}

const std::string kRunsRange = "a number from 1 to " + std::to_string(kMaxRuns);

// Every option of batch mode but those that choose an input kind, and only
// those: each selects batch mode.
const BatchOption kOptions[] = {
    {"--runs", true, kRunsRange.c_str(),
     [](BatchOptions& o, std::string_view v) {
       const auto n = parse_number(v, 1, kMaxRuns);
       if (n) o.runs = static_cast<uint32_t>(*n);
       return n.has_value();
     }},
    {"--seed", true, "a number from 0 to 4294967295",
     [](BatchOptions& o, std::string_view v) {
       const auto n = parse_number(v, 0, UINT32_MAX);
       if (n) {
         o.seed = static_cast<uint32_t>(*n);
         o.seed_given = true;
       }
       return n.has_value();
     }},
    {"--report", true, "a file name",
     [](BatchOptions& o, std::string_view v) {
       o.report.assign(v);
       return !v.empty();
     },
     true},
    {"--exact", false, "", [](BatchOptions& o, std::string_view) { return o.exact = true; }},
    {"--max-tables", true, "a number from 0",
     [](BatchOptions& o, std::string_view v) {
       const auto n = parse_number(v, 0, UINT64_MAX);
       if (n) o.max_tables = *n;
       return n.has_value();
     }},
    {"--tables", true, "a number from 1 to 1000000000000000, or auto",
     [](BatchOptions& o, std::string_view v) {
       static_assert(kMaxExactTables == 1000000000000000);
       o.tables_given = true;
       if (v == "auto") {
         o.tables_auto = true;
         o.tables = kDefaultTables;
         return true;
       }
       const auto n = parse_number(v, 1, kMaxExactTables);
       if (n) {
         o.tables = *n;
         o.tables_auto = false;
       }
       return n.has_value();
     }},
    {"--threads", true, "a number from 0 (all cores) to 1024",
     [](BatchOptions& o, std::string_view v) {
       const auto n = parse_number(v, 0, 1024);
       if (n) o.threads = static_cast<uint32_t>(*n);
       return n.has_value();
     }},
    {"--pops", true, "a file name",
     [](BatchOptions& o, std::string_view v) {
       o.pops.assign(v);
       return !v.empty();
     }},
    {"--region", true, "CHR or CHR:FROM-TO",
     [](BatchOptions& o, std::string_view v) {
       o.regions.emplace_back(v);
       return !v.empty();
     }},
    {"--list-regions", true, "a number from 1 to 1000000",
     [](BatchOptions& o, std::string_view v) {
       const auto n = parse_number(v, 1, 1000000);
       if (n) o.list_regions = static_cast<uint32_t>(*n);
       return n.has_value();
     }},
    {"--html", true, "a file name",
     [](BatchOptions& o, std::string_view v) {
       o.html.assign(v);
       return !v.empty();
     },
     true},
    {"--summary", true, "a file name",
     [](BatchOptions& o, std::string_view v) {
       o.summary.assign(v);
       return !v.empty();
     },
     true, true},
    // The structure-robust test: K components, or auto for the smallest
    // calibrated K up to 10.
    {"--structure", true, "a number from 1 to 10, or auto",
     [](BatchOptions& o, std::string_view v) {
       o.structure = true;
       if (v == "auto") {
         o.structure_components = 0;
         return true;
       }
       const auto n = parse_number(v, 1, 10);
       if (n) o.structure_components = static_cast<int32_t>(*n);
       return n.has_value();
     }},
    {"--structure-out", true, "a file name",
     [](BatchOptions& o, std::string_view v) {
       o.structure_out.assign(v);
       return !v.empty();
     },
     true},
};

const BatchOption* find_option(std::string_view name) {
  for (const BatchOption& option : kOptions) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

CommandLine usage_error(std::string message) {
  CommandLine c;
  c.kind = CommandKind::kUsageError;
  c.error = std::move(message);
  return c;
}

bool listed(std::span<const std::string_view> names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// The options of the kinds that take `name`: "--a or --b".
std::string kinds_taking(std::span<const InputSyntax> kinds, std::string_view name) {
  std::string out;
  for (const InputSyntax& kind : kinds) {
    if (kind.option == nullptr || !listed(kind.takes, name)) continue;
    if (!out.empty()) out += " or ";
    out += kind.option;
  }
  return out;
}

bool taken_by_some_kind(std::span<const InputSyntax> kinds, std::string_view name) {
  return std::any_of(kinds.begin(), kinds.end(),
                     [&](const InputSyntax& kind) { return listed(kind.takes, name); });
}

// The kinds' rules over the options given (in the order given): an error
// message, or empty.
std::string check_kind(std::span<const InputSyntax> kinds, const std::vector<bool>& chosen,
                       const std::vector<std::string_view>& given) {
  const InputSyntax* kind = nullptr;
  for (size_t i = 0; i < kinds.size(); ++i) {
    if (!chosen[i]) continue;
    if (kind != nullptr)
      return std::string("options '") + kind->option + "' and '" + kinds[i].option +
             "' exclude each other";
    kind = &kinds[i];
  }
  if (kind == nullptr) {
    const auto plain = std::find_if(kinds.begin(), kinds.end(),
                                    [](const InputSyntax& k) { return k.option == nullptr; });
    if (plain == kinds.end()) return "";
    kind = &*plain;
  }
  for (std::string_view refused : kind->refuses) {
    if (listed(given, refused))
      return "option '" + std::string(refused) + "' is not available with '" + kind->option + "'";
  }
  for (std::string_view name : given) {
    if (taken_by_some_kind(kinds, name) && !listed(kind->takes, name))
      return "option '" + std::string(name) + "' needs " + kinds_taking(kinds, name);
  }
  return "";
}

// The kind an option chooses, by its index in `kinds`; none: kinds.size().
size_t kind_chosen_by(std::span<const InputSyntax> kinds, std::string_view name) {
  size_t i = 0;
  while (i < kinds.size() && (kinds[i].option == nullptr || name != kinds[i].option)) ++i;
  return i;
}

}  // namespace

std::span<const BatchOption> batch_option_table() { return kOptions; }

CommandLine parse_command_line(int argc, char** argv, std::span<const InputSyntax> kinds) {
  CommandLine c;
  bool batch = false;
  bool merge = false;
  bool help = false;
  bool version = false;
  bool batch_option = false;  // an option of the table, or a kind's, was given
  bool beyond_merge = false;  // one that --merge does not take
  std::vector<bool> chosen(kinds.size(), false);
  std::vector<std::string_view> given;  // the table's options, in order, once each
  bool options_ended = false;

  for (int i = 1; i < argc; ++i) {
    char* arg = argv[i];
    const std::string_view text(arg);
    if (options_ended || text.size() < 2 || text.substr(0, 2) != "--") {
      c.operands.push_back(arg);
      continue;
    }
    if (text == "--") {
      options_ended = true;
      continue;
    }
    if (text == "--help") {
      help = true;
      continue;
    }
    if (text == "--version") {
      version = true;
      continue;
    }
    if (text == "--batch") {
      batch = true;
      continue;
    }
    if (text == "--merge") {
      merge = true;
      continue;
    }
    const size_t equals = text.find('=');
    const std::string_view name = text.substr(0, equals);
    const size_t kind = kind_chosen_by(kinds, name);
    if (kind < kinds.size()) {
      if (equals != std::string_view::npos)
        return usage_error("option '" + std::string(name) + "' takes no value");
      chosen[kind] = true;
      c.options.kind = kinds[kind].name;
      batch_option = true;
      beyond_merge = true;
      continue;
    }
    const BatchOption* option = find_option(name);
    if (option == nullptr) return usage_error("unknown option '" + std::string(text) + "'");
    std::string_view value;
    if (option->takes_value) {
      if (equals != std::string_view::npos) {
        value = text.substr(equals + 1);
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        return usage_error("option '" + std::string(name) + "' needs " + option->range);
      }
    } else if (equals != std::string_view::npos) {
      return usage_error("option '" + std::string(name) + "' takes no value");
    }
    if (!option->apply(c.options, value))
      return usage_error("option '" + std::string(name) + "' needs " + option->range + ", not '" +
                         std::string(value) + "'");
    batch_option = true;
    if (!option->with_merge) beyond_merge = true;
    if (!listed(given, option->name)) given.emplace_back(option->name);
  }
  const std::string kind_error = check_kind(kinds, chosen, given);
  if (!kind_error.empty()) return usage_error(kind_error);
  for (const InputSyntax& kind : kinds) {
    if (kind.settle != nullptr && kind.name == c.options.kind) kind.settle(c.options);
  }

  if (help) {
    c.kind = CommandKind::kHelp;
  } else if (version) {
    c.kind = CommandKind::kVersion;
  } else if (merge) {
    if (batch || beyond_merge)
      return usage_error("option '--merge' takes no other option than '--summary' and files");
    c.kind = CommandKind::kMerge;
    if (c.operands.empty()) return usage_error("no input file");
  } else if (batch || batch_option) {
    c.kind = CommandKind::kBatch;
    if (c.operands.empty()) return usage_error("no input file");
    c.options.command_text = command_text(argc, argv);
  }
  return c;
}

std::string usage_hint(const char* program) {
  return std::string("usage: ") + program + " [--batch|--vcf] [OPTION]... FILE... ('" + program +
         " --help' tells more)";
}

std::string usage_text(const char* program) {
  const std::string p = program;
  return "usage: " + p + " INPUT... [OUTPUT]\n"
         "       " + p + " [--batch] [OPTION]... FILE...\n"
         "       " + p + " --vcf [OPTION]... FILE...\n"
         "       " + p + " --merge [--summary FILE] TABLE...\n"
         "\n"
         "Tests genotype counts at one locus for Hardy-Weinberg proportions\n"
         "(chi-square, Selander's D, Monte Carlo permutations, exact tests).\n"
         "\n"
         "Interactive (no option given): each INPUT is analysed on the screen;\n"
         "with two or more arguments the last one is the OUTPUT file the reports\n"
         "are appended to.\n"
         "\n"
         "Batch (--batch, or any option below): never touches the terminal;\n"
         "writes one tab-separated header line and one row per FILE (with\n"
         "--genepop, per population and locus) to standard output. Numbers are\n"
         "written as the shortest decimal that reads back to the same value.\n"
         "Options:\n"
         "  --runs N       run a Monte Carlo experiment of N replicates (1-" +
         std::to_string(kMaxRuns) + ")\n"
         "                 for every file; the mc_*_low/_high columns are 95%\n"
         "                 Clopper-Pearson limits of the hits (the report keeps\n"
         "                 its classic intervals)\n"
         "  --seed S       seed every experiment with S (0-4294967295) instead of\n"
         "                 the clock\n"
         "  --report FILE  append each file's report to FILE\n"
         "  --exact        add the exact tests (probability, X2, G2, heterozygote\n"
         "                 deficit and excess by count and by the score U):\n"
         "                 all tables enumerated, or sampled when there are\n"
         "                 more than --max-tables\n"
         "  --max-tables M enumerate up to M tables (default " +
         std::to_string(kDefaultMaxTables) + "; 0: always\n"
         "                 sample)\n"
         "  --tables T     tables drawn when sampling (default " +
         std::to_string(kDefaultTables) + ")\n"
         "  --tables auto  when sampling, stop at the " + std::to_string(kSequentialHits) +
         "th table that hits p_prob\n"
         "                 (sequential p-value " + std::to_string(kSequentialHits) +
         "/l), or after " + std::to_string(kDefaultTables) + " tables;\n"
         "                 the other four tests are then estimates\n"
         "                 (the default with --vcf)\n"
         "  --threads N    threads of the exact tests (default 0: all cores);\n"
         "                 the figures do not depend on it\n"
         "  --genepop      read every FILE as a Genepop file: one row per\n"
         "                 population and locus, with p_lead and a\n"
         "                 Benjamini-Hochberg q_bh\n"
         "  --html FILE    write a results page to FILE after the rows: one\n"
         "                 self-contained HTML file of pictures (heat maps of\n"
         "                 Genepop files, residual triangles of count files)\n"
         "  --summary FILE write the combined tests to FILE: a row per locus, per\n"
         "                 population and per file with Fisher's method over the\n"
         "                 units' p, its q_bh, f_is, h_obs and he (a count file:\n"
         "                 its file row only)\n"
         "  --batch        batch mode without any other option\n"
         "\n"
         "q_bh is computed from p_lead: a p estimated from b hits of m draws\n"
         "enters as (b+1)/(m+1), never 0; exact and asymptotic p as they are.\n"
         "\n"
         "VCF and BCF files (--vcf, batch mode without --batch): one row per site\n"
         "and population, with a Benjamini-Hochberg q_bh. Options:\n"
         "  --vcf          read every FILE as VCF (plain, gzip or bgzip) or BCF;\n"
         "                 '-' is standard input (xz, bzip2 and zstd are refused)\n"
         "  --pops FILE    sample ID and population name per line; samples not\n"
         "                 in FILE are left out (default: one population 'all')\n"
         "  --region R     only the sites with POS in R, through the file's index\n"
         "                 (not on a pipe): CHR, CHR:POS, CHR:FROM-TO, CHR:FROM-,\n"
         "                 CHR:-TO, commas in numbers, {NAME:WITH:COLONS}:FROM-TO;\n"
         "                 repeatable, overlaps joined\n"
         "  --list-regions N  print regions that tile each FILE's sites, one per\n"
         "                 line, and test nothing: at least one per contig, no\n"
         "                 more than the index can cut (fewer than N on a small\n"
         "                 file)\n"
         "  --structure K  add a test that population structure does not fool,\n"
         "                 biallelic autosomal sites: individual allele\n"
         "                 frequencies from K principal components of the\n"
         "                 genotypes (two passes over each FILE, so not '-'),\n"
         "                 each site's inbreeding F against them by likelihood\n"
         "                 ratio: f_struct p_struct p_struct_deficit\n"
         "                 p_struct_excess; p_lead is p_struct\n"
         "  --structure auto  the smallest K up to 10 whose p_struct is\n"
         "                 calibrated (told on standard error)\n"
         "  --structure-out FILE  write each sample's PC1..PCK to FILE\n"
         "Merge: --merge writes the row tables TABLE... (parts of one run, say\n"
         "one per region) as one table to standard output: one header, the rows\n"
         "in the order given, q_bh (where there is one) adjusted again over all\n"
         "rows from p_lead; every other cell as it was. Differing headers or a\n"
         "file that is not such a table: an error, and nothing written.\n"
         "With --summary FILE the summary is recomputed from the merged rows.\n"
         "\n"
         "Both modes:\n"
         "  --help         show this text\n"
         "  --version      show the version\n"
         "  --             end of options\n"
         "\n"
         "Exit status: 0 success; 1 a file failed; 2 usage error; 130 interrupted;\n"
         "141 standard output closed by its reader.\n";
}

namespace {

bool plain(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::string_view("-_./=:,+@%").find(c) != std::string_view::npos ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool control(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

}  // namespace

std::string shell_word(std::string_view word) {
  if (!word.empty() && std::all_of(word.begin(), word.end(), plain)) return std::string(word);
  std::string out;
  if (std::any_of(word.begin(), word.end(), control)) {
    // Inside '...' nothing is special but the quote itself.
    out += '\'';
    for (char c : word) {
      if (c == '\'') {
        out += "'\\''";
      } else {
        out += c;
      }
    }
    out += '\'';
    return out;
  }
  out += '"';
  for (char c : word) {
    if (c == '"' || c == '\\' || c == '$' || c == '`') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

std::string command_text(int argc, char** argv) {
  std::string out;
  for (int i = 0; i < argc; ++i) {
    if (i > 0) out += ' ';
    out += shell_word(argv[i]);
  }
  return out;
}
