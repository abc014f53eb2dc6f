#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "batch/input_kind.h"

namespace {

CommandLine parse_with(std::span<const InputSyntax> kinds, std::vector<std::string> words) {
  static std::vector<std::string> storage;
  storage = std::move(words);
  storage.insert(storage.begin(), "hwmc");
  static std::vector<char*> argv;
  argv.clear();
  for (std::string& w : storage) argv.push_back(w.data());
  return parse_command_line(static_cast<int>(argv.size()), argv.data(), kinds);
}

// With the registered input kinds.
CommandLine parse(std::vector<std::string> words) {
  static const std::vector<InputSyntax> kinds = input_syntax();
  return parse_with(kinds, std::move(words));
}

std::vector<std::string> operands(const CommandLine& c) {
  return std::vector<std::string>(c.operands.begin(), c.operands.end());
}

TEST(CommandLine, WithoutBatchTheArgumentsKeepTheirMeaning) {
  CommandLine c = parse({"a.txt", "b.txt", "out.txt"});
  EXPECT_EQ(c.kind, CommandKind::kInteractive);
  EXPECT_EQ(operands(c), (std::vector<std::string>{"a.txt", "b.txt", "out.txt"}));
  c = parse({"--", "--odd", "-x", "out"});
  EXPECT_EQ(c.kind, CommandKind::kInteractive);
  EXPECT_EQ(operands(c), (std::vector<std::string>{"--odd", "-x", "out"}));
  EXPECT_EQ(parse({}).kind, CommandKind::kInteractive);
}

TEST(CommandLine, BatchOptionsInBothFormsAndAnywhereBeforeTheDoubleDash) {
  CommandLine c = parse({"a.txt", "--runs=200", "--batch", "--seed", "4294967295", "--report",
                         "r.txt", "--", "--seed"});
  ASSERT_EQ(c.kind, CommandKind::kBatch) << c.error;
  EXPECT_EQ(c.options.runs, 200u);
  EXPECT_TRUE(c.options.seed_given);
  EXPECT_EQ(c.options.seed, 4294967295u);
  EXPECT_EQ(c.options.report, "r.txt");
  EXPECT_EQ(operands(c), (std::vector<std::string>{"a.txt", "--seed"}));
  c = parse({"--batch", "a"});
  EXPECT_EQ(c.options.runs, 0u);
  EXPECT_FALSE(c.options.seed_given);
  EXPECT_EQ(c.options.max_tables, 1000000u);
  EXPECT_EQ(c.options.tables, 100000u);
}

TEST(CommandLine, UsageErrors) {
  const std::vector<std::vector<std::string>> bad = {
      {"--batch"},                        // no input file
      {"--batch", "--runs", "0", "a"},    // out of range
      {"--batch", "--runs", "65001", "a"},
      {"--batch", "--runs", "+5", "a"},   // not a plain number
      {"--batch", "--runs", " 5", "a"},
      {"--batch", "--runs", "5x", "a"},
      {"--batch", "--seed", "4294967296", "a"},
      {"--batch", "--seed", "99999999999999999999999", "a"},
      {"--batch", "--seed"},              // value missing
      {"--batch", "--report=", "a"},
      {"--batch", "--version=1", "a"},    // unknown with a value
      {"--batch", "--runs5", "a"},
      {"--help=me"},
      {"--runs", "5"},                    // batch by its option, without a file
      {"--nope", "a", "out"},
  };
  for (const auto& words : bad) {
    const CommandLine c = parse(words);
    EXPECT_EQ(c.kind, CommandKind::kUsageError) << words[0] << " " << words.size();
    EXPECT_FALSE(c.error.empty());
    EXPECT_EQ(c.error.find('\n'), std::string::npos);
  }
}

TEST(CommandLine, ExactAndGenepopOptionsReachTheBatchOptions) {
  const CommandLine c = parse({"--batch", "--exact", "--genepop", "--max-tables=0", "--tables",
                               "7", "--threads", "3", "a"});
  ASSERT_EQ(c.kind, CommandKind::kBatch) << c.error;
  EXPECT_TRUE(c.options.exact);
  EXPECT_EQ(c.options.kind, "genepop");
  EXPECT_EQ(c.options.max_tables, 0u);
  EXPECT_EQ(c.options.tables, 7u);
  EXPECT_EQ(c.options.threads, 3u);
  EXPECT_EQ(parse({"--batch", "--tables", "1000000000000000", "a"}).options.tables,
            1000000000000000u);
  const BatchOptions defaults = parse({"--batch", "a"}).options;
  EXPECT_EQ(defaults.max_tables, 1000000u);
  EXPECT_EQ(defaults.tables, 100000u);
  EXPECT_EQ(defaults.threads, 0u);
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"--batch", "--tables", "0", "a"},
        std::vector<std::string>{"--batch", "--tables", "1000000000000001", "a"},
        std::vector<std::string>{"--batch", "--tables", "18446744073709551615", "a"},
        std::vector<std::string>{"--batch", "--threads", "1025", "a"},
        std::vector<std::string>{"--batch", "--exact=1", "a"},
        std::vector<std::string>{"--batch", "--tables", "Auto", "a"},
        std::vector<std::string>{"--batch", "--tables", "auto:5", "a"}}) {
    EXPECT_EQ(parse(words).kind, CommandKind::kUsageError) << words[1];
  }
}

TEST(CommandLine, AnyBatchOptionSelectsBatchMode) {
  // Each option of batch mode, alone, with a value where it takes one.
  for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
           {"--runs", "10"}, {"--seed", "1"}, {"--report", "r"}, {"--exact"},
           {"--max-tables", "5"}, {"--tables", "9"}, {"--tables=auto"}, {"--threads", "2"},
           {"--genepop"}, {"--batch"}}) {
    std::vector<std::string> with_files = words;
    with_files.push_back("data.gen");
    with_files.push_back("out.txt");
    const CommandLine c = parse(with_files);
    EXPECT_EQ(c.kind, CommandKind::kBatch) << words[0] << " " << c.error;
    // Both arguments are input files, none an output file.
    EXPECT_EQ(operands(c), (std::vector<std::string>{"data.gen", "out.txt"})) << words[0];
  }
  // Every option --help names selects it (a new option in the table does so
  // without more ado).
  const std::string text = usage_text("hwmc");
  for (size_t at = text.find("\n  --"); at != std::string::npos; at = text.find("\n  --", at + 1)) {
    const size_t end = text.find_first_of(" \n", at + 3);
    const std::string name = text.substr(at + 3, end - at - 3);
    if (name == "--help" || name == "--version" || name == "--") continue;
    std::vector<std::string> words = {name};
    if (text.compare(end, 2, " N") == 0 || text.compare(end, 2, " S") == 0 ||
        text.compare(end, 2, " M") == 0 || text.compare(end, 2, " T") == 0 ||
        text.compare(end, 2, " K") == 0)
      words.push_back("1");
    if (text.compare(end, 5, " FILE") == 0) words.push_back("r");
    if (text.compare(end, 4, " DIR") == 0) words.push_back("d");
    if (text.compare(end, 5, " auto") == 0) words.push_back("auto");
    if (text.compare(end, 2, " R") == 0) words.push_back("1:1-9");
    if (text.compare(end, 2, " B") == 0) words.push_back("b37");
    // The options of VCF input mean something only beside --vcf.
    if (name == "--pops" || name == "--region" || name == "--list-regions" || name == "--sex" ||
        name == "--par" || name == "--structure" || name == "--structure-out")
      words.insert(words.begin(), "--vcf");
    // The filter's options refine --hwe P.
    if (name == "--hwe") words.push_back("1e-6");
    if (name == "--hwe-pops") words.push_back("controls");
    if (name == "--columns") words.push_back("file,n");
    if (name == "--hwe-midp" || name == "--hwe-pops" || name == "--failed")
      words.insert(words.begin(), {"--vcf", "--hwe", "1e-6"});
    // The annotated copy is of VCF input, and its --drop-failed of the filter.
    if (name == "--annotate") words = {"--vcf", "--annotate", "o.vcf"};
    if (name == "--drop-failed")
      words.insert(words.begin(), {"--vcf", "--hwe", "1e-6", "--annotate", "o.vcf"});
    // Those of PLINK filesets beside --bfile, whose values are the inputs.
    const bool plink = name == "--bfile" || name == "--bed" || name == "--by-phenotype";
    if (plink && name != "--bfile") words.insert(words.begin(), {"--bfile", "p"});
    if (!plink || name == "--bfile") words.push_back("a");
    EXPECT_EQ(parse(words).kind, CommandKind::kBatch) << name;
  }
}

TEST(CommandLine, ParTakesOnlyTheBuildsItKnows) {
  EXPECT_EQ(parse({"--vcf", "--par", "none", "a"}).options.par, ParBuild::kNone);
  EXPECT_EQ(parse({"--vcf", "a"}).options.par, ParBuild::kB38);
  const CommandLine c = parse({"--vcf", "--par", "hg19", "a"});
  EXPECT_NE(c.kind, CommandKind::kBatch);
  EXPECT_NE(c.error.find("b37, b38 or none"), std::string::npos) << c.error;
}

// The files options name, whatever option names them, for the check that
// no output lands on an input: each option's last value, in first-given
// order, outputs and inputs apart; the table's own marks decide.
TEST(CommandLine, FilesNamedByOptionsAreCollectedByTheirTableMarks) {
  const CommandLine c = parse({"--vcf", "--summary", "a", "--pops=p", "--html", "h",
                               "--summary=b", "x.vcf"});
  ASSERT_EQ(c.kind, CommandKind::kBatch);
  std::vector<std::string> outputs;
  for (const OptionFile& f : c.options.output_files) outputs.push_back(f.option + "=" + f.path);
  EXPECT_EQ(outputs, (std::vector<std::string>{"--summary=b", "--html=h"}));
  ASSERT_EQ(c.options.input_files.size(), 1u);
  EXPECT_EQ(c.options.input_files[0].path, "p");
  for (const BatchOption& option : batch_option_table()) {
    const bool file = std::string(option.range) == "a file name" ||
                      std::string(option.range) == "a folder name";
    EXPECT_EQ(option.names_output || option.names_input, file) << option.name;
  }
}

TEST(CommandLine, TablesAutoOrACount) {
  CommandLine c = parse({"--exact", "--tables", "auto", "a"});
  ASSERT_EQ(c.kind, CommandKind::kBatch) << c.error;
  EXPECT_TRUE(c.options.tables_auto);
  EXPECT_EQ(c.options.tables, 100000u);  // the limit without 20 hits
  // The last of the two forms counts.
  c = parse({"--tables", "auto", "--tables", "500", "a"});
  EXPECT_FALSE(c.options.tables_auto);
  EXPECT_EQ(c.options.tables, 500u);
  c = parse({"--tables", "500", "--tables=auto", "a"});
  EXPECT_TRUE(c.options.tables_auto);
  EXPECT_EQ(c.options.tables, 100000u);
  EXPECT_FALSE(parse({"--batch", "a"}).options.tables_auto);
}

TEST(CommandLine, HelpAndVersionWinOverEverythingButAUsageError) {
  EXPECT_EQ(parse({"--batch", "--help"}).kind, CommandKind::kHelp);
  EXPECT_EQ(parse({"a", "--version", "b"}).kind, CommandKind::kVersion);
  EXPECT_EQ(parse({"--help", "--bad"}).kind, CommandKind::kUsageError);
  const std::string text = usage_text("hwmc");
  EXPECT_NE(text.find("hwmc [--batch] [OPTION]... FILE..."), std::string::npos);
  EXPECT_NE(text.find("--seed S"), std::string::npos);
}

TEST(CommandLine, MergeTakesTablesAndNoBatchOption) {
  CommandLine c = parse({"a.tsv", "--merge", "--", "--b.tsv"});
  ASSERT_EQ(c.kind, CommandKind::kMerge) << c.error;
  EXPECT_EQ(operands(c), (std::vector<std::string>{"a.tsv", "--b.tsv"}));
  EXPECT_EQ(parse({"--merge", "--help"}).kind, CommandKind::kHelp);
  for (const auto& words : std::vector<std::vector<std::string>>{
           {"--merge"}, {"--merge", "--runs", "3", "a.tsv"}, {"--batch", "--merge", "a.tsv"}})
    EXPECT_EQ(parse(words).kind, CommandKind::kUsageError) << words.back();
  // The parts' seed, for the summary's drawn global tests.
  const CommandLine seeded = parse({"--merge", "--seed", "3", "a.tsv"});
  ASSERT_EQ(seeded.kind, CommandKind::kMerge) << seeded.error;
  EXPECT_TRUE(seeded.options.seed_given && seeded.options.seed == 3);
}

TEST(CommandLine, MergeDrawsThePageAndItsFigures) {
  CommandLine c = parse({"--merge", "--html", "p.html", "--figures=figs", "a.tsv", "b.tsv"});
  ASSERT_EQ(c.kind, CommandKind::kMerge) << c.error;
  EXPECT_EQ(c.options.html, "p.html");
  EXPECT_EQ(c.options.figures, "figs");
  EXPECT_EQ(operands(c), (std::vector<std::string>{"a.tsv", "b.tsv"}));
  EXPECT_NE(c.options.command_text.find("--figures=figs"), std::string::npos);
  EXPECT_EQ(parse({"--merge", "--figures", "", "a.tsv"}).kind, CommandKind::kUsageError);
  // The refusal names every option the merge takes.
  const std::string error = parse({"--merge", "--runs", "5", "a.tsv"}).error;
  for (const char* name : {"'--summary'", "'--html'", "'--figures'"})
    EXPECT_NE(error.find(name), std::string::npos) << error;
}

}  // namespace

namespace {

TEST(CommandLine, VcfIsBatchModeWithSequentialTablesUnlessACountIsGiven) {
  CommandLine c = parse({"--vcf", "--exact", "--pops", "p.txt", "--region", "1:5-9", "--region=2",
                         "a.vcf.gz"});
  ASSERT_EQ(c.kind, CommandKind::kBatch) << c.error;
  EXPECT_EQ(c.options.kind, "vcf");
  EXPECT_TRUE(c.options.tables_auto);
  EXPECT_EQ(c.options.pops, "p.txt");
  EXPECT_EQ(c.options.regions, (std::vector<std::string>{"1:5-9", "2"}));
  EXPECT_FALSE(parse({"--vcf", "--tables", "500", "a.vcf"}).options.tables_auto);
  EXPECT_EQ(parse({"--vcf", "--tables", "500", "a.vcf"}).options.tables, 500u);
  EXPECT_FALSE(parse({"--batch", "--exact", "a.txt"}).options.tables_auto);
  EXPECT_TRUE(parse({"--batch", "--tables=auto", "a.txt"}).options.tables_auto);
  EXPECT_EQ(parse({"--vcf", "--list-regions", "8", "a.vcf.gz"}).options.list_regions, 8u);

  EXPECT_EQ(parse({"--batch", "--pops", "p.txt", "a.txt"}).error, "option '--pops' needs --vcf or --bfile");
  EXPECT_EQ(parse({"--batch", "--region", "1", "a.txt"}).error, "option '--region' needs --vcf or --bfile");
  EXPECT_EQ(parse({"--vcf", "--genepop", "a"}).kind, CommandKind::kUsageError);
  EXPECT_EQ(parse({"--vcf", "--report", "r", "a"}).kind, CommandKind::kUsageError);
  EXPECT_EQ(parse({"--vcf", "--list-regions", "0", "a"}).kind, CommandKind::kUsageError);
  // Listing regions runs no test: what would choose its sites or take its
  // results is refused, not ignored.
  for (std::vector<std::string> with : {std::vector<std::string>{"--region", "1:1-5"},
                                       {"--summary", "s.tsv"}, {"--html", "p.html"},
                                       {"--figures", "d"}}) {
    std::vector<std::string> words = {"--vcf", "--list-regions", "4"};
    words.insert(words.end(), with.begin(), with.end());
    words.push_back("a.vcf.gz");
    EXPECT_EQ(parse(words).error, "option '--list-regions' only lists regions: it cannot be used "
                                  "with '" + with[0] + "'");
  }
  EXPECT_EQ(parse({"--bfile", "p", "--region", "1", "--list-regions", "2"}).kind,
            CommandKind::kUsageError);
  EXPECT_EQ(parse({"--vcf", "--list-regions", "4", "--pops", "p.txt", "a.vcf.gz"}).kind,
            CommandKind::kBatch);
  EXPECT_EQ(parse({"--vcf", "--tables", "autox", "a"}).kind, CommandKind::kUsageError);
  EXPECT_EQ(parse({"--vcf", "--structure", "3", "a"}).options.structure_components, 3);
  EXPECT_TRUE(parse({"--vcf", "--structure=auto", "a"}).options.structure);
  EXPECT_EQ(parse({"--vcf", "--structure=auto", "a"}).options.structure_components, 0);
  EXPECT_EQ(parse({"--vcf", "--structure", "2", "--structure-out", "pc.tsv", "a"})
                .options.structure_out,
            "pc.tsv");
  for (const char* k : {"0", "11", "", "2x", "Auto"})
    EXPECT_EQ(parse({"--vcf", "--structure", k, "a"}).kind, CommandKind::kUsageError) << k;
  EXPECT_EQ(parse({"--batch", "--structure", "2", "a.txt"}).error,
            "option '--structure' needs --vcf or --bfile");
  EXPECT_EQ(parse({"--bfile", "f", "--structure", "2", "--structure-out", "pc.tsv"})
                .options.structure_out,
            "pc.tsv");
  EXPECT_EQ(parse({"--vcf"}).error, "no input file");
}

}  // namespace
TEST(CommandLine, TheResultsPageIsABatchOptionAndTheCommandIsKeptQuoted) {
  CommandLine c = parse({"--batch", "--html", "my page.html", "--genepop", "a.gen"});
  ASSERT_EQ(c.kind, CommandKind::kBatch);
  EXPECT_EQ(c.options.html, "my page.html");
  EXPECT_EQ(c.options.command_text, "hwmc --batch --html \"my page.html\" --genepop a.gen");
  EXPECT_EQ(parse({"--batch", "--html=", "a.gen"}).kind, CommandKind::kUsageError);
  c = parse({"--html", "p.html", "a.txt"});  // selects batch mode, as every batch option
  EXPECT_EQ(c.kind, CommandKind::kBatch);
  EXPECT_EQ(c.options.command_text, "hwmc --html p.html a.txt");
}

TEST(CommandLine, WordsAreQuotedOnlyWhereAShellWouldSplitOrExpandThem) {
  EXPECT_EQ(shell_word("data/x_1.gen"), "data/x_1.gen");
  EXPECT_EQ(shell_word("--seed=7"), "--seed=7");
  EXPECT_EQ(shell_word(""), "\"\"");
  EXPECT_EQ(shell_word("a b"), "\"a b\"");
  EXPECT_EQ(shell_word("out & <more>.html"), "\"out & <more>.html\"");
  EXPECT_EQ(shell_word("$HOME \"q\" `x` \\"), "\"\\$HOME \\\"q\\\" \\`x\\` \\\\\"");
  EXPECT_EQ(shell_word("it's"), "\"it's\"");
  EXPECT_EQ(shell_word("two\nlines 'q'"), "'two\nlines '\\''q'\\'''");
  EXPECT_EQ(shell_word("caf\xc3\xa9"), "caf\xc3\xa9");
}

namespace {

TEST(CommandLine, TheKindsRulesAreTheirRegistryEntries) {
  const std::string both = "options '--vcf' and '--genepop' exclude each other";
  EXPECT_EQ(parse({"--vcf", "--genepop", "a"}).error, both);
  EXPECT_EQ(parse({"--genepop", "--vcf", "a"}).error, both);
  EXPECT_EQ(parse({"--vcf", "--report", "r", "a"}).error,
            "option '--report' is not available with '--vcf'");
  EXPECT_EQ(parse({"--genepop", "--region", "1", "--pops", "p", "a"}).error,
            "option '--region' needs --vcf or --bfile");
  EXPECT_EQ(parse({"--vcf=1", "a"}).error, "option '--vcf' takes no value");
  EXPECT_EQ(parse({"--genepop", "a"}).options.kind, "genepop");
  EXPECT_EQ(parse({"--vcf", "--genepop", "--help"}).kind, CommandKind::kUsageError);
  EXPECT_EQ(parse({"--batch", "a"}).options.kind, "");
  EXPECT_EQ(parse({"--merge", "--genepop", "a"}).kind, CommandKind::kUsageError);
}

TEST(CommandLine, AnOptionSeveralKindsTakeNamesEachOfThem) {
  static constexpr std::string_view kOneTakes[] = {"--pops", "--region"};
  static constexpr std::string_view kTwoTakes[] = {"--pops"};
  static constexpr std::string_view kTwoRefuses[] = {"--exact", "--report"};
  const std::vector<InputSyntax> kinds = {
      {.name = "plain"},
      {.name = "one", .option = "--one", .takes = kOneTakes},
      {.name = "two",
       .option = "--two",
       .takes = kTwoTakes,
       .refuses = kTwoRefuses,
       .settle = [](BatchOptions& o) { o.threads = 7; }}};
  EXPECT_EQ(parse_with(kinds, {"--pops", "p", "a"}).error, "option '--pops' needs --one or --two");
  EXPECT_EQ(parse_with(kinds, {"--two", "--region", "1", "a"}).error,
            "option '--region' needs --one");
  EXPECT_EQ(parse_with(kinds, {"--two", "--one", "a"}).error,
            "options '--one' and '--two' exclude each other");
  EXPECT_EQ(parse_with(kinds, {"--two", "--report", "r", "--exact", "a"}).error,
            "option '--exact' is not available with '--two'");
  const CommandLine c = parse_with(kinds, {"--two", "--pops", "p", "a"});
  ASSERT_EQ(c.kind, CommandKind::kBatch) << c.error;
  EXPECT_EQ(c.options.kind, "two");
  EXPECT_EQ(c.options.threads, 7u);  // its own default
  EXPECT_EQ(parse_with(kinds, {"--one", "a"}).options.threads, 0u);
}

TEST(CommandLine, TheTableSaysWhichOptionsNameOutputFilesAndWhichTheMergeTakes) {
  std::set<std::string> outputs, merge;
  for (const BatchOption& option : batch_option_table()) {
    if (option.names_output) outputs.insert(option.name);
    if (option.with_merge) merge.insert(option.name);
  }
  EXPECT_EQ(outputs, (std::set<std::string>{"--report", "--html", "--summary", "--figures",
                                             "--failed", "--structure-out", "--annotate"}));
  EXPECT_EQ(merge, (std::set<std::string>{"--summary", "--html", "--figures", "--columns", "--seed",
                                           "--failed"}));
}

}  // namespace

TEST(CommandLine, HweThresholdsKeepTheirLog10BelowTheDoubleRange) {
  const std::optional<PThreshold> small = parse_p_threshold("1e-6");
  ASSERT_TRUE(small);
  EXPECT_EQ(small->p, 1e-6);
  EXPECT_NEAR(small->log10, -6, 1e-15);
  const std::optional<PThreshold> tiny = parse_p_threshold("2.5e-600");
  ASSERT_TRUE(tiny);
  EXPECT_EQ(tiny->p, 0);
  EXPECT_NEAR(tiny->log10, std::log10(2.5) - 600, 1e-12);
  const std::optional<PThreshold> plain = parse_p_threshold("0.001");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->p, 0.001);
  EXPECT_TRUE(parse_p_threshold("5E+0") == std::nullopt);  // 5, not below 1
  for (const char* bad : {"", "1", "0", "0.0", "-1e-6", "1e-", "e-6", "1e-6x", "0x1p-3", "inf",
                          "nan", "1e0", "10e-1", " 1e-6", "1e-999999999999"})
    EXPECT_FALSE(parse_p_threshold(bad)) << bad;
}

TEST(CommandLine, TheFilterOptionsAndTheExactDefaultOfVcf) {
  CommandLine c = parse({"--vcf", "--hwe=1e-10", "--hwe-midp", "--hwe-pops", "cases,controls",
                         "--failed", "out.txt", "x.vcf"});
  ASSERT_EQ(c.kind, CommandKind::kBatch) << c.error;
  EXPECT_TRUE(c.options.hwe);
  EXPECT_EQ(c.options.hwe_p, 1e-10);
  EXPECT_TRUE(c.options.hwe_midp);
  EXPECT_EQ(c.options.hwe_pops, (std::vector<std::string>{"cases", "controls"}));
  EXPECT_EQ(c.options.failed, "out.txt");
  EXPECT_TRUE(c.options.exact);  // the default of --vcf
  EXPECT_FALSE(parse({"--vcf", "--no-exact", "x.vcf"}).options.exact);
  EXPECT_FALSE(parse({"--batch", "x.txt"}).options.exact);
  EXPECT_TRUE(parse({"--genepop", "--hwe", "0.05", "--failed", "f", "x.gen"}).options.hwe);

  EXPECT_EQ(parse({"--vcf", "--exact", "--no-exact", "x.vcf"}).kind, CommandKind::kUsageError);
  EXPECT_EQ(parse({"--vcf", "--failed", "f", "x.vcf"}).error, "option '--failed' needs --hwe");
  EXPECT_EQ(parse({"--vcf", "--hwe", "1e-6", "--hwe-pops", "a,,b", "x.vcf"}).kind,
            CommandKind::kUsageError);
  // A count file has no population to decide and no name to list.
  EXPECT_EQ(parse({"--hwe", "1e-6", "--failed", "f", "x.txt"}).kind, CommandKind::kUsageError);
  EXPECT_EQ(parse({"--hwe", "1e-6", "x.txt"}).kind, CommandKind::kBatch);
  // The copy's --drop-failed needs both the copy and the filter.
  EXPECT_EQ(parse({"--vcf", "--hwe", "1e-6", "--drop-failed", "x.vcf"}).error,
            "option '--drop-failed' needs --annotate");
  EXPECT_EQ(parse({"--vcf", "--annotate", "o.vcf", "--drop-failed", "x.vcf"}).error,
            "option '--drop-failed' needs --hwe");
  EXPECT_EQ(parse({"--bfile", "p", "--annotate", "o.vcf"}).error,
            "option '--annotate' needs --vcf");
}

TEST(CommandLine, StandardInputIsReadOnceWhateverTheKind) {
  for (std::vector<std::string> words :
       std::vector<std::vector<std::string>>{{"--batch", "-", "a.txt", "-"},
                                             {"--vcf", "-", "-"},
                                             {"--genepop", "-", "--", "-"}}) {
    const CommandLine c = parse(words);
    EXPECT_EQ(c.kind, CommandKind::kUsageError) << words[0];
    EXPECT_EQ(c.error, "standard input ('-') can be read only once, not 2 times") << words[0];
  }
  EXPECT_EQ(parse({"--batch", "-", "a.txt"}).kind, CommandKind::kBatch);
  EXPECT_EQ(parse({"--vcf", "-"}).kind, CommandKind::kBatch);
  // The interactive program's arguments keep their classic meaning.
  EXPECT_EQ(parse({"-", "-"}).kind, CommandKind::kInteractive);
  // A fileset prefix is no stream.
  EXPECT_EQ(parse({"--bfile", "-", "--bfile", "-"}).kind, CommandKind::kBatch);
}

TEST(CommandLine, TheMergeListsTheFailedRowsWithoutAKindOrAThreshold) {
  const CommandLine c = parse({"--merge", "--failed", "f.txt", "a.tsv", "b.tsv"});
  ASSERT_EQ(c.kind, CommandKind::kMerge) << c.error;
  EXPECT_EQ(c.options.failed, "f.txt");
  // The threshold is the parts': the merge takes none of its own.
  EXPECT_EQ(parse({"--merge", "--failed", "f.txt", "--hwe", "1e-6", "a.tsv"}).kind,
            CommandKind::kUsageError);
  // A run still needs --hwe for --failed.
  EXPECT_EQ(parse({"--vcf", "--failed", "f.txt", "a.vcf"}).error, "option '--failed' needs --hwe");
}
