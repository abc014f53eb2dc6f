#include "cli/command_line.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
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

// "a,b,c" as its non-empty names.
bool split_names(std::string_view text, std::vector<std::string>& names) {
  names.clear();
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    const std::string_view name = text.substr(start, comma - start);
    if (name.empty()) return false;
    names.emplace_back(name);
    if (comma == std::string_view::npos) return true;
    start = comma + 1;
  }
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
     },
     false, true},
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
     },
     false, false, true},
    {"--sex", true, "a file name",
     [](BatchOptions& o, std::string_view v) {
       o.sex.assign(v);
       return !v.empty();
     },
     false, false, true},
    {"--par", true, "b37, b38 or none",
     [](BatchOptions& o, std::string_view v) { return parse_par_build(v, o.par); }},
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
     true, true},
    {"--figures", true, "a folder name",
     [](BatchOptions& o, std::string_view v) {
       o.figures.assign(v);
       return !v.empty();
     },
     true, true},
    {"--summary", true, "a file name",
     [](BatchOptions& o, std::string_view v) {
       o.summary.assign(v);
       return !v.empty();
     },
     true, true},
    // Quality control.
    {"--no-exact", false, "", [](BatchOptions& o, std::string_view) { return o.no_exact = true; }},
    {"--hwe", true, "a p-value between 0 and 1 (such as 1e-6 or 1e-600)",
     [](BatchOptions& o, std::string_view v) {
       const std::optional<PThreshold> t = parse_p_threshold(v);
       if (t) {
         o.hwe = true;
         o.hwe_p = t->p;
         o.hwe_log10 = t->log10;
       }
       return t.has_value();
     }},
    {"--hwe-midp", false, "", [](BatchOptions& o, std::string_view) { return o.hwe_midp = true; }},
    {"--hwe-pops", true, "population names separated by commas",
     [](BatchOptions& o, std::string_view v) { return split_names(v, o.hwe_pops); }},
    {"--failed", true, "a file name",
     [](BatchOptions& o, std::string_view v) {
       o.failed.assign(v);
       return !v.empty();
     },
     true, true},
    // The input annotated with the tests.
    {"--annotate", true, "a file name",
     [](BatchOptions& o, std::string_view v) {
       o.annotate.assign(v);
       return !v.empty();
     },
     true},
    {"--drop-failed", false, "",
     [](BatchOptions& o, std::string_view) { return o.drop_failed = true; }},
    // PLINK filesets.
    {"--bed", true, "a file name",
     [](BatchOptions& o, std::string_view v) {
       o.bed.assign(v);
       return !v.empty();
     },
     false, false, true},
    {"--bim", true, "a file name",
     [](BatchOptions& o, std::string_view v) {
       o.bim.assign(v);
       return !v.empty();
     },
     false, false, true},
    {"--fam", true, "a file name",
     [](BatchOptions& o, std::string_view v) {
       o.fam.assign(v);
       return !v.empty();
     },
     false, false, true},
    {"--by-phenotype", false, "",
     [](BatchOptions& o, std::string_view) { return o.by_phenotype = true; }},
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
    // The row's columns, chosen and ordered by name.
    {"--columns", true, "column names separated by commas",
     [](BatchOptions& o, std::string_view v) { return split_names(v, o.columns); }, false, true},
};

const BatchOption* find_option(std::string_view name) {
  for (const BatchOption& option : kOptions) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

// "'--summary', '--html'": the options --merge takes, in table order.
std::string merge_options_text() {
  std::vector<std::string> names;
  for (const BatchOption& option : kOptions)
    if (option.with_merge) names.push_back(std::string("'") + option.name + "'");
  std::string text;
  for (size_t i = 0; i < names.size(); ++i)
    text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
  return text;
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

// The filter's options need --hwe; --exact and --no-exact contradict.
// With --merge, --failed lists the rows the parts' --hwe failed.
std::string check_hwe_options(const BatchOptions& o, const std::vector<std::string_view>& given,
                              bool merge) {
  if (o.exact && o.no_exact) return "options '--exact' and '--no-exact' exclude each other";
  if (o.drop_failed && o.annotate.empty()) return "option '--drop-failed' needs --annotate";
  if (o.hwe || merge) return "";
  for (std::string_view name : {"--hwe-midp", "--hwe-pops", "--failed", "--drop-failed"}) {
    if (listed(given, name)) return "option '" + std::string(name) + "' needs --hwe";
  }
  return "";
}

// --list-regions runs no test: an option that chooses the sites read or
// names a file of the tests' results would be ignored beside it.
std::string check_list_regions(const BatchOptions& o, const std::vector<std::string_view>& given) {
  if (o.list_regions == 0) return "";
  for (std::string_view name : {"--region", "--summary", "--html", "--figures"}) {
    if (listed(given, name))
      return "option '--list-regions' only lists regions: it cannot be used with '" +
             std::string(name) + "'";
  }
  return "";
}

// The file an option names, replacing what the same option named before.
void note_file(std::vector<OptionFile>& files, const char* option, std::string_view path) {
  for (OptionFile& file : files) {
    if (file.option == option) {
      file.path.assign(path);
      return;
    }
  }
  files.push_back(OptionFile{option, std::string(path)});
}

// Standard input is read once: a second "-" would find it used up. A kind
// whose option names a prefix of files reads no "-" as standard input.
std::string check_standard_input(std::span<const InputSyntax> kinds, const CommandLine& c) {
  for (const InputSyntax& kind : kinds)
    if (kind.name == c.options.kind && kind.option_names_input) return "";
  const auto dashes = std::count_if(c.operands.begin(), c.operands.end(),
                                    [](const char* operand) { return std::string_view(operand) == "-"; });
  if (dashes < 2) return "";
  return "standard input ('-') can be read only once, not " + std::to_string(dashes) + " times";
}

}  // namespace

std::span<const BatchOption> batch_option_table() { return kOptions; }

std::optional<PThreshold> parse_p_threshold(std::string_view text) {
  // The mantissa and the exponent apart, so that 1e-600 keeps its log10.
  const size_t e = text.find_first_of("eE");
  const std::string mantissa_text(text.substr(0, e));
  if (mantissa_text.empty() || mantissa_text.size() > 40 ||
      mantissa_text.find_first_not_of("0123456789.") != std::string::npos)
    return std::nullopt;
  char* end = nullptr;
  const double mantissa = std::strtod(mantissa_text.c_str(), &end);
  if (end != mantissa_text.c_str() + mantissa_text.size() || !(mantissa > 0)) return std::nullopt;
  long exponent = 0;
  if (e != std::string_view::npos) {
    std::string_view digits = text.substr(e + 1);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    const char* last = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), last, exponent);
    if (digits.empty() || error != std::errc{} || stop != last || exponent < -100000000 ||
        exponent > 100000000)
      return std::nullopt;
  }
  PThreshold t;
  t.log10 = std::log10(mantissa) + static_cast<double>(exponent);
  if (!(t.log10 < 0)) return std::nullopt;
  t.p = std::strtod(std::string(text).c_str(), nullptr);
  return t;
}

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
  size_t named_inputs = 0;  // operands given as a kind's option's values
  const char* first_plain = nullptr;

  for (int i = 1; i < argc; ++i) {
    char* arg = argv[i];
    const std::string_view text(arg);
    if (options_ended || text.size() < 2 || text.substr(0, 2) != "--") {
      c.operands.push_back(arg);
      if (first_plain == nullptr) first_plain = arg;
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
    if (kind < kinds.size() && kinds[kind].option_names_input) {
      // The value's text ends where the argument does, so it is a C string.
      char* value = nullptr;
      if (equals != std::string_view::npos) {
        value = arg + equals + 1;
      } else if (i + 1 < argc) {
        value = argv[++i];
      }
      if (value == nullptr || *value == '\0')
        return usage_error("option '" + std::string(name) + "' needs a file name");
      c.operands.push_back(value);
      ++named_inputs;
    } else if (kind < kinds.size() && equals != std::string_view::npos) {
      return usage_error("option '" + std::string(name) + "' takes no value");
    }
    if (kind < kinds.size()) {
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
    if (option->names_output) note_file(c.options.output_files, option->name, value);
    if (option->names_input) note_file(c.options.input_files, option->name, value);
    batch_option = true;
    if (!option->with_merge) beyond_merge = true;
    if (!listed(given, option->name)) given.emplace_back(option->name);
  }
  // The merge's own options need no kind: the tables' header tells theirs.
  if (merge)
    std::erase_if(given, [](std::string_view name) {
      const BatchOption* option = find_option(name);
      return option != nullptr && option->with_merge;
    });
  const std::string kind_error = check_kind(kinds, chosen, given);
  if (!kind_error.empty()) return usage_error(kind_error);
  const std::string qc_error = check_hwe_options(c.options, given, merge);
  if (!qc_error.empty()) return usage_error(qc_error);
  const std::string list_error = check_list_regions(c.options, given);
  if (!list_error.empty()) return usage_error(list_error);
  if (named_inputs > 0 && first_plain != nullptr)
    return usage_error("'" + std::string(first_plain) +
                       "' is not an input here: name each one with its option");
  for (const InputSyntax& kind : kinds) {
    if (kind.name != c.options.kind) continue;
    if (kind.exact_by_default && !c.options.no_exact) c.options.exact = true;
    if (kind.settle != nullptr) kind.settle(c.options);
  }

  if (help) {
    c.kind = CommandKind::kHelp;
  } else if (version) {
    c.kind = CommandKind::kVersion;
  } else if (merge) {
    if (batch || beyond_merge)
      return usage_error("option '--merge' takes no other option than " + merge_options_text() +
                         " and files");
    c.kind = CommandKind::kMerge;
    if (c.operands.empty()) return usage_error("no input file");
    c.options.command_text = command_text(argc, argv);
  } else if (batch || batch_option) {
    c.kind = CommandKind::kBatch;
    if (c.operands.empty()) return usage_error("no input file");
    const std::string stdin_error = check_standard_input(kinds, c);
    if (!stdin_error.empty()) return usage_error(stdin_error);
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
         "       " + p + " --bfile PREFIX... [OPTION]...\n"
         "       " + p + " --merge [--summary FILE] [--html FILE] [--figures DIR]\n"
         "             [--columns LIST] [--seed S] [--failed FILE] TABLE...\n"
         "\n"
         "Tests genotype counts at one locus for Hardy-Weinberg proportions\n"
         "(chi-square, Selander's D, Monte Carlo permutations, exact tests).\n"
         "\n"
         "Interactive (no option given): each INPUT is analysed on the screen;\n"
         "with two or more arguments the last one is the OUTPUT file the reports\n"
         "are appended to.\n"
         "\n"
         "Batch (--batch, or any option below): never touches the terminal but\n"
         "for one progress line on standard error when that is a terminal\n"
         "(units done, where, units per second, time left where known);\n"
         "writes one tab-separated header line and one row per FILE (with\n"
         "--genepop, per population and locus) to standard output. Numbers are\n"
         "written as the shortest decimal that reads back to the same value.\n"
         "A FILE '-' is standard input (a count, Genepop, VCF or BCF file), read\n"
         "once: '-' may be given once on a command line. A file that another\n"
         "option reads (a VCF, BCF, PLINK .bed or Genepop file, told by its\n"
         "first bytes) fails with that option's name.\n"
         "After k n (and missing) every row has its genotype counts: n_hom_ref\n"
         "n_het n_hom_alt for two alleles (a site's REF and one ALT; else the\n"
         "two alleles with copies), NA otherwise, and genotype_counts, every\n"
         "genotype counted as A/B:count (0/0:12,0/1:5,...; the alleles a site's\n"
         "numbers, a Genepop locus's codes, a count file's letters; on X with\n"
         "the sexes known, the females').\n"
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
         "  --figures DIR  write every figure of the page into the folder DIR\n"
         "                 (made when missing) as its own SVG file, named after\n"
         "                 the figure and its file or population (heatmap.svg,\n"
         "                 qq_CEU.svg, ...), and as PDF through rsvg-convert\n"
         "                 (librsvg2-bin; without it, SVG only and one line on\n"
         "                 standard error)\n"
         "  --summary FILE write the combined tests to FILE: a row per locus, per\n"
         "                 population and per file with Fisher's method over the\n"
         "                 units' p, its q_bh, f_is, h_obs and he (a count file:\n"
         "                 its file row only); with --exact also the global U\n"
         "                 tests: u_sum u_global_method p_u_deficit_global\n"
         "                 p_u_excess_global (each with _low _high and q_bh_)\n"
         "  --columns A,B  write only these columns of the rows, in this order\n"
         "                 (names as in the header, the identifying columns,\n"
         "                 p_lead and q_bh too; a name the rows lack is a usage\n"
         "                 error listing theirs); --merge takes such tables when\n"
         "                 they keep the identifying columns, and p_lead with q_bh\n"
         "  --batch        batch mode without any other option\n"
         "\n"
         "Quality control (every row ends with log10_p_lead, the log10 of the\n"
         "leading p, exact also where the p is below 1e-308; NA without a p):\n"
         "  --hwe P        a unit fails where its leading p is below P (0 < P < 1;\n"
         "                 1e-600 and such compare in log10); rows get hwe_fail\n"
         "                 (0, 1, NA without a p), --summary counts them per row\n"
         "  --hwe-midp     the probability test's mid-p decides where it has one\n"
         "                 (enumerated tables)\n"
         "  --hwe-pops A,B only these populations decide (--vcf, --genepop)\n"
         "  --failed FILE  the failing units, one a line: a site's ID, or\n"
         "                 CHROM:POS:REF:ALT where the ID is '.', once per site\n"
         "                 (for plink --exclude, bcftools view -e ID=@FILE); a\n"
         "                 Genepop unit as population<TAB>locus\n"
         "  --annotate OUT a copy of the one --vcf input, every record with all its\n"
         "                 fields, with INFO HWE_P (0 below the Float range),\n"
         "                 HWE_LOG10P, HWE_MIDP (where the test has one) and\n"
         "                 HWE_FIS, per population with --pops (HWE_P_<name>...),\n"
         "                 and with --hwe the FILTER HWE on failing records; VCF,\n"
         "                 bgzipped VCF or BCF by OUT's ending (.vcf, .vcf.gz,\n"
         "                 .bcf), indexed (.tbi, .csi); - is VCF on standard\n"
         "                 output in place of the rows\n"
         "  --drop-failed  with --annotate and --hwe: failing records left out\n"
         "  --no-exact     no exact tests, not even --vcf's: p_x2 leads\n"
         "\n"
         "q_bh is computed from p_lead: a p estimated from b hits of m draws\n"
         "enters as (b+1)/(m+1), never 0; exact and asymptotic p as they are.\n"
         "Above 32768 allele copies, or where no replicate was made, the\n"
         "permutation p does not lead: the exact p does where it ran, else p_x2.\n"
         "\n"
         "VCF and BCF files (--vcf, batch mode without --batch): one row per site\n"
         "and population, with a Benjamini-Hochberg q_bh. Options:\n"
         "  --vcf          read every FILE as VCF (plain, gzip or bgzip) or BCF;\n"
         "                 '-' is standard input (xz, bzip2 and zstd are refused)\n"
         "  --pops FILE    sample ID and population name per line; samples not\n"
         "                 in FILE are left out (default: one population 'all');\n"
         "                 a file none of whose samples FILE names fails; an\n"
         "                 empty FILE or a population named NA is refused\n"
         "  --region R     only the sites with POS in R, through the file's index\n"
         "                 (not on a pipe): CHR, CHR:POS, CHR:FROM-TO, CHR:FROM-,\n"
         "                 CHR:-TO, commas in numbers, {NAME:WITH:COLONS}:FROM-TO;\n"
         "                 repeatable, overlaps joined\n"
         "  --list-regions N  print regions that tile each FILE's sites, one per\n"
         "                 line, and test nothing: at least one per contig, no\n"
         "                 more than the index can cut (fewer than N on a small\n"
         "                 file, more than N when it has more than N contigs);\n"
         "                 not with --region, --summary, --html or --figures\n"
         "  --sex FILE     sample ID and sex per line (1/M/male, 2/F/female,\n"
         "                 0/NA/unknown; a PLINK .fam works too): X outside the\n"
         "                 pseudo-autosomal regions is tested with males\n"
         "                 hemizygous (a haploid or homozygous male call is one\n"
         "                 copy, a heterozygous one missing, in male_het):\n"
         "                 columns males females male_het p_sex_af p_x_prob\n"
         "                 p_x_prob_mid (NA off X), the other columns of an X\n"
         "                 row on its females, p_lead = p_x_prob; Y and MT left\n"
         "                 out, samples of unknown sex left out of X\n"
         "  --par B        the pseudo-autosomal regions, tested as autosomes:\n"
         "                 b37, b38 (default) or none\n"
         "PLINK 1 binary filesets (--bfile): the rows of --vcf, ref = A2 and\n"
         "alt = A1 as plink2 exports them, the same draws per site. Options:\n"
         "  --bfile PREFIX read PREFIX.bed, PREFIX.bim and PREFIX.fam (repeatable;\n"
         "                 the file column is PREFIX); takes --pops (samples by\n"
         "                 IID, or FID_IID when IIDs repeat), --region,\n"
         "                 --list-regions (cut exactly from the .bim), --hwe-pops,\n"
         "                 --failed, --sex, --par and --structure; the sexes are\n"
         "                 the .fam's column 5 unless --sex gives them\n"
         "  --bed FILE     the .bed file in place of PREFIX.bed (--bim, --fam alike)\n"
         "  --by-phenotype populations 'control' and 'case' from the .fam's\n"
         "                 column 6; samples without a phenotype are left out\n"
         "  --structure K  add a test that population structure does not fool,\n"
         "                 biallelic autosomal sites: individual allele\n"
         "                 frequencies from K principal components of the\n"
         "                 genotypes (two passes over each FILE or fileset, so\n"
         "                 not '-'; missing calls left out of each site's fit),\n"
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
         "file that is not such a table: an error, and nothing written; so is\n"
         "a table given twice (by any name or link) or one that is not a\n"
         "regular file (a FIFO, standard input). Parts of one run never share a\n"
         "unit: a unit (its identifying cells) in two tables is refused, as from\n"
         "a merged table beside one of its parts; so are tables whose rows carry\n"
         "different seeds (give every part the same --seed).\n"
         "With --summary FILE the summary is recomputed from the merged rows,\n"
         "the global U tests from their genotype_counts (drawn ones with the\n"
         "parts' --seed S given again, or the seed the rows show). With\n"
         "--columns LIST only those columns.\n"
         "With --failed FILE the rows the parts' --hwe failed (hwe_fail 1) are\n"
         "listed as one run over all the parts lists them; the parts must have\n"
         "been run with --hwe.\n"
         "With --html FILE (or --figures DIR) the results page is drawn from the\n"
         "merged rows, as one run over all the parts draws it (Genepop and VCF\n"
         "tables; a count file's row lacks its genotype table).\n"
         "\n"
         "No output file may be an input, an input's index, the --pops file or\n"
         "another output (compared by device and inode): that is an error and\n"
         "nothing is written. The summary and the page replace their files\n"
         "whole, once complete.\n"
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
