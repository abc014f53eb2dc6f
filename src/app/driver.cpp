#include "app/driver.h"

#include <cstdio>
#include <exception>
#include <new>
#include <utility>

#include "app/error_screens.h"
#include "app/exit_path.h"
#include "app/help_screen.h"
#include "app/report_writer.h"
#include "app/results_screen.h"
#include "app/run_control.h"
#include "console/console.h"
#include "console/terminal.h"
#include "genotype/genotype_reader.h"
#include "report/unit_result.h"
#include "report/output_trim.h"

namespace {

// A key is needed but none can ever come (end of a pipe, the terminal gone):
// waiting would spin for ever.
[[noreturn]] void stop_on_input_end() {
  show_error("keyboard input ended");
  exit_program(1);
}

[[noreturn]] void end_with_read_failure(const GenotypeRead& read, const char* path) {
  bool at_once = false;
  const int code = show_read_failure(read, path, &at_once);
  if (at_once) exit_at_once(code);
  exit_program(code);
}

// The report names the file upper-cased; the argument itself is changed as
// the program always did (ps shows it so).
void upper_case_in_place(char* text) {
  for (; *text != '\0'; ++text) {
    if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
  }
}

// One input file, start to end. Every buffer of the file belongs to this
// call and is freed before the next file is read.
void process_file(int index, int arg_count, char** args) {
  const bool output_named = arg_count != 2;
  const char* output = args[arg_count - 1];
  if (index == 1 && output_named) trim_output_tail(output);

  const char* path = args[index];
  GenotypeRead read = read_genotype_file(path);
  if (read.status != ReadStatus::kOk) end_with_read_failure(read, path);

  UnitResult unit;
  LocusAnalysis& locus = unit.locus;
  const AnalysisStatus status =
      analyse_locus(std::move(read.parse.table), read.parse.k, read.parse.two_n, locus);
  if (status != AnalysisStatus::kOk) {
    show_analysis_failure(status, path);
    exit_program(1);
  }

  if (show_results_and_ask(locus, path) == 'y') {
    switch (run_monte_carlo(locus, unit.mc.emplace())) {
      case McScreenStatus::kDone:
        break;
      case McScreenStatus::kNoRuns:
        exit_program(0);
      case McScreenStatus::kOutOfMemory:
        show_memory_error(true);
        exit_program(1);
    }
  }

  if (output_named) {
    upper_case_in_place(args[index]);
    write_report(args[index], unit, output);
  }
}

}  // namespace

int run_program(int arg_count, char** args) {
  set_program_name(arg_count >= 1 ? args[0] : nullptr);
  terminal_open();
  con_set_input_end_handler(stop_on_input_end);

  try {
    // Keys typed before the program was ready are not answers to its
    // questions. (Only a terminal's type-ahead: piped keys are the answers.)
    terminal_flush_type_ahead();
    con_set_attr(kColorWhite);
    if (arg_count >= 2) con_clear_screen();
    if (arg_count < 3) show_help(arg_count);
    con_clear_screen();

    for (int index = 1; index < arg_count; ++index) {
      if (index == arg_count - 1 && arg_count != 2) break;  // the output file
      process_file(index, arg_count, args);
    }

    show_credits();
    exit_program(0);
  } catch (const std::bad_alloc&) {
    show_memory_error(false);
    exit_program(1);
  } catch (const std::exception& e) {
    terminal_close();
    std::fprintf(stderr, "%s: %s\n", program_name(), e.what());
    return 1;
  }
}
