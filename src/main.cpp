// Chooses the front end: batch mode, the merge of row tables, help and
// version, or the interactive program with the arguments that remain once
// the options are taken out.
#include <cstdio>
#include <string_view>
#include <vector>

#include "app/driver.h"
#include "batch/batch_run.h"
#include "batch/input_kind.h"
#include "batch/merge_run.h"
#include "cli/command_line.h"
#include "cli/program_identity.h"
#include "fileio/text_escape.h"

int main(int argc, char** argv) {
  const char* program = program_name_of(argc > 0 ? argv[0] : nullptr);
  // Not in --help: the workflow asks which options it must refuse, from
  // the option table itself.
  if (argc == 2 && std::string_view(argv[1]) == "--options-naming-outputs") {
    for (const BatchOption& option : batch_option_table())
      if (option.names_output) std::printf("%s\n", option.name);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  const std::vector<InputSyntax> kinds = input_syntax();
  CommandLine line = parse_command_line(argc, argv, kinds);
  switch (line.kind) {
    case CommandKind::kUsageError:
      std::fprintf(stderr, "%s: %s\n%s\n", program, escape_controls(line.error).c_str(),
                   usage_hint(program).c_str());
      return 2;
    case CommandKind::kHelp:
      std::fputs(usage_text(program).c_str(), stdout);
      return std::fflush(stdout) == 0 ? 0 : 1;
    case CommandKind::kVersion:
      std::printf("hwmc %s\n", program_version());
      return std::fflush(stdout) == 0 ? 0 : 1;
    case CommandKind::kBatch:
      return run_batch(line.options, line.operands, program);
    case CommandKind::kMerge:
      return run_merge(line.operands, line.options, program);
    case CommandKind::kInteractive:
      break;
  }
  std::vector<char*> args;
  args.push_back(argc > 0 ? argv[0] : const_cast<char*>("hwmc"));
  args.insert(args.end(), line.operands.begin(), line.operands.end());
  const int arg_count = static_cast<int>(args.size());
  args.push_back(nullptr);
  return run_program(arg_count, args.data());
}
