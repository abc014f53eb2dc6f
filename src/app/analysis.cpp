#include "app/analysis.h"

#include "app/exit_path.h"
#include "console/console.h"
#include "stats/chi2_critical.h"
#include "stats/expected_x2.h"
#include "stats/heterozygosity.h"

namespace {

constexpr const char kMemoryError[] = "\r\nmemory allocation error - program abort";

[[noreturn]] void fail_allocation() {
  show_error(kMemoryError);
  show_error("Try to re-designate alleles. Cut empty allele classes");
  exit_program(1);
}

char ascii_to_lower(int c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); }

}  // namespace

char wait_yes_no() {
  for (;;) {
    const int key = con_getch();
    if (key == 0) {
      // The scan code of an extended key is no answer, even where it equals
      // the code of 'y' or 'n' (Alt+2 gives 121).
      con_getch();
      continue;
    }
    const char c = ascii_to_lower(key);
    if (c == 'y' || c == 'n') return c;
  }
}

void analyse_file(FileState& f) {
  const size_t cells_read = static_cast<size_t>(cell_count_for(f.k));
  const size_t alleles_read = static_cast<size_t>(f.k);
  if (!f.expected.allocate(cells_read) || !f.allele_freq.allocate(alleles_read) ||
      !f.allele_total.allocate(alleles_read))
    fail_allocation();
  if (!f.cell_x2.allocate(cells_read)) fail_allocation();

  f.x2_obs = compute_expected_x2(f.table.data, f.expected.data, f.k, f.two_n, f.allele_freq.data,
                                 f.allele_total.data, f.cell_x2.data);

  // With a single allele class there are no degrees of freedom, no critical
  // value and no expected heterozygotes: nothing that could be shown means
  // anything.
  if (f.k < 2) {
    show_error("only one allele class in file - nothing to test");
    con_printf(" \"%s\"\n\r", f.path);
    exit_program(1);
  }

  f.cells = cell_count_for(f.k);
  const size_t cells = static_cast<size_t>(f.cells);
  const size_t alleles = static_cast<size_t>(f.k);
  if (!f.table.resize(cells) || !f.cell_x2.resize(cells) || !f.expected.resize(cells) ||
      !f.allele_freq.resize(alleles) || !f.allele_total.resize(alleles)) {
    show_error(kMemoryError);
    exit_program(1);
  }

  f.df = f.k * (f.k - 1) / 2;
  f.x2_crit = static_cast<float>(chi2_crit_05(f.df));

  con_goto_clear(1, 1);
  con_printf("file: \"%-s\"", f.path);

  het_stats(f.table.data, f.cells, f.allele_total.data, f.k, f.two_n, &f.het_observed,
            &f.het_expected, &f.d_obs);
  set_cell_x2(f.table.data, f.expected.data, f.cells);

  for (int row = 3; row <= 9; ++row) con_goto_clear(1, row);
  con_goto_clear(1, 2);

  const int32_t individuals = f.two_n / 2;
  const long double d = f.d_obs;
  const long double statistic =
      ((d * d) * static_cast<long double>(individuals)) * static_cast<long double>(f.k - 1);
  con_printf(
      "X\xFD=%-f \x11- chi-sq_05 (%-d)=%.3f\n\rD(Selander's)= %.3f; (k-1)ND\xFD=%.3f \x11- "
      "chi-sq_05 (1)=3.841;\r\nwish to perform Monte Carlo experiment? (y/n)",
      static_cast<double>(f.x2_obs), f.df, static_cast<double>(f.x2_crit),
      static_cast<double>(f.d_obs), static_cast<double>(statistic));

  f.mc_answer = wait_yes_no();
  if (f.mc_answer == 'n') con_clear_screen();
}
