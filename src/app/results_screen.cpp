#include "app/results_screen.h"

#include "console/console.h"

namespace {

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

char show_results_and_ask(const LocusAnalysis& a, const char* path) {
  con_goto_clear(1, 1);
  con_printf("file: \"%-s\"", path);
  for (int row = 3; row <= 9; ++row) con_goto_clear(1, row);
  con_goto_clear(1, 2);

  con_printf(
      "X\xFD=%-f \x11- chi-sq_05 (%-d)=%.3f\n\rD(Selander's)= %.3f; (k-1)ND\xFD=%.3f \x11- "
      "chi-sq_05 (1)=3.841;\r\nwish to perform Monte Carlo experiment? (y/n)",
      static_cast<double>(a.x2_obs), a.df, static_cast<double>(a.x2_crit),
      static_cast<double>(a.d_obs),
      static_cast<double>(selander_statistic(a.d_obs, a.two_n, a.k)));

  const char answer = wait_yes_no();
  if (answer == 'n') con_clear_screen();
  return answer;
}
