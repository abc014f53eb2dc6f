#include "app/driver.h"

#include <cstdio>
#include <exception>
#include <new>

#include "app/analysis.h"
#include "app/exit_path.h"
#include "app/file_state.h"
#include "app/help_screen.h"
#include "console/console.h"
#include "console/terminal.h"
#include "genotype/genotype_reader.h"
#include "genotype/genotype_table.h"
#include "montecarlo/run_control.h"
#include "report/file_results.h"
#include "report/output_trim.h"
#include "report/report_writer.h"

namespace {

// A key is needed but none can ever come (end of a pipe, the terminal gone):
// waiting would spin for ever.
[[noreturn]] void stop_on_input_end() {
  show_error("keyboard input ended");
  exit_program(1);
}

FileResults results_for(const FileState& f, int arg_count, char** args) {
  FileResults r{};
  r.arg_count = arg_count;
  r.args = args;
  r.allele_count = f.k;
  r.file_index = f.file_index;
  r.allele_letters = f.allele_letters.data;
  r.allele_freq = f.allele_freq.data;
  r.expected = f.expected.data;
  r.cell_x2 = f.cell_x2.data;
  r.table = f.table.data;
  r.two_n = f.two_n;
  r.het_expected = f.het_expected;
  r.d_obs = f.d_obs;
  r.p_d_one = f.mc.p_d_one;
  r.p_d_both = f.mc.p_d_both;
  r.x2_obs = f.x2_obs;
  r.x2_crit = f.x2_crit;
  r.df = f.df;
  r.het_observed = f.het_observed;
  r.p_hw = f.mc.p_hw;
  r.ci_hw_low = f.mc.ci_hw_low;
  r.ci_hw_high = f.mc.ci_hw_high;
  r.ci_d_one_low = f.mc.ci_d_one_low;
  r.ci_d_one_high = f.mc.ci_d_one_high;
  r.ci_d_both_low = f.mc.ci_d_both_low;
  r.ci_d_both_high = f.mc.ci_d_both_high;
  r.runs_made = f.mc.runs_made;
  r.hits_hw = f.mc.hits_hw;
  r.hits_d_one = f.mc.hits_d_one;
  r.hits_d_both = f.mc.hits_d_both;
  r.mc_answer = f.mc_answer;
  return r;
}

McInputs monte_carlo_inputs(FileState& f) {
  McInputs in{};
  in.two_n = f.two_n;
  in.k = f.k;
  in.allele_total = f.allele_total.data;
  in.expected = f.expected.data;
  in.cells = f.cells;
  in.het_expected = f.het_expected;
  in.x2_obs = f.x2_obs;
  in.d_obs = f.d_obs;
  in.df = f.df;
  in.table = f.table.data;
  return in;
}

// One input file, start to end. Every buffer of the file belongs to `f`
// and is freed when it goes out of scope, before the next file is read.
void process_file(int index, int arg_count, char** args) {
  const bool output_named = arg_count != 2;
  if (index == 1 && output_named) trim_output_tail(args[arg_count - 1]);

  FileState f;  // fresh Monte Carlo state: counters, progress, slots_filled
  f.file_index = index;
  f.path = args[index];

  f.table = read_genotype_file(f.path, f.k, f.two_n);
  if (f.two_n == 0) {
    show_error("possibly incorrect data in file");
    con_printf(" \"%s\"\n\r", f.path);
    exit_program(1);
  }

  analyse_file(f);

  if (f.mc_answer == 'y') run_monte_carlo(monte_carlo_inputs(f), f.mc);

  f.allele_letters = make_allele_letters(f.table.data, f.k);

  if (arg_count > 2) write_report(results_for(f, arg_count, args));
}

}  // namespace

int run_program(int arg_count, char** args) {
  set_program_args(arg_count, args);
  terminal_open();
  con_set_input_end_handler(stop_on_input_end);

  try {
    // Keys typed before the program was ready are not answers to its
    // questions. (Only a terminal's type-ahead: piped keys are the answers.)
    terminal_flush_type_ahead();
    con_set_attr(15);
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
    show_error("\r\nmemory allocation error - program abort");
    exit_program(1);
  } catch (const std::exception& e) {
    terminal_close();
    std::fprintf(stderr, "%s: %s\n", program_name(), e.what());
    return 1;
  }
}
