#include "app/progress_screen.h"

#include "console/console.h"
#include "montecarlo/interval_text.h"

int32_t refresh_interval(int32_t two_n) {
  if (two_n < 5) return 150;
  if (two_n > 500) return 10;
  const long double b = static_cast<float>(two_n);
  // The lower terms are summed first and rounded to double; the quartic term
  // joins afterwards. The table of intervals this yields is what users know.
  const double lower_terms =
      static_cast<double>(-2.03e-5L * (b * b * b) + 0.00849L * (b * b) - 1.442819L * b + 115.693L);
  const float v =
      static_cast<float>((static_cast<long double>(lower_terms) + b * b * b * b * 1.66e-8L) * 0.1L);
  return 10 * static_cast<int32_t>(v + 0.5);
}

void draw_frame_line() {
  con_set_color(kColorLightBlue);
  con_goto_clear(3, 18);
  for (int i = 0; i < 45; ++i) con_printf("%c", kGlyphUpperHalfBlock);
  con_set_color(kColorWhite);
}

void draw_progress_labels(int32_t df, int32_t bar_length) {
  con_goto(3, 17);
  con_printf("df: %d", df);
  con_goto(bar_length, 11);
  con_printf("runs made");
  con_printf(" %c", kGlyphDownArrow);
  draw_frame_line();
  con_goto_clear(3, 19);
  con_printf("Prob. null hypoth. (chi-sq)        \xCD\x10");
  con_goto_clear(3, 20);
  con_printf("Prob. null hypoth. (D, one tail)   \xCD\x10");
  con_goto_clear(3, 21);
  con_printf("Prob. null hypoth. (D, both tails) \xCD\x10");
}

void draw_esc_note() {
  con_goto_clear(1, 2);
  con_set_color(kColorLightBlue);
  con_printf("Press ");
  con_set_color(kColorWhite);
  con_printf("Esc");
  con_set_color(kColorLightBlue);
  con_printf(" to terminate Monte Carlo simulation\n\r(results obtained will be saved)");
}

void show_runs_made(int32_t bar_length, uint32_t runs) {
  con_goto(bar_length + 9, 12);
  con_printf("%-u", runs);
}

void show_probabilities(float p_hw, float p_d_one, float p_d_both) {
  con_goto_clear(40, 19);
  con_printf("%-g", p_hw);
  con_goto_clear(40, 20);
  con_printf("%-g", p_d_one);
  con_goto_clear(40, 21);
  con_printf("%-g", p_d_both);
}

void show_confidence_intervals(const McResults& s) {
  for (int row = 2; row <= 6; ++row) con_goto_clear(1, row);
  con_goto_clear(1, 2);
  con_printf("95%% confidence intervals for probabilities (P):\r\n");
  con_printf("%s", format_interval_list(s, IntervalStyle{"for H-W ", "-\x10  ", "\r\n"}).c_str());
}
