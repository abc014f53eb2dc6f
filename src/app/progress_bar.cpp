#include "app/progress_bar.h"

#include "console/console.h"

int32_t bar_length_for(uint32_t runs_asked) {
  if (runs_asked < 10) return 2;
  if (runs_asked <= 50) return 10;
  if (runs_asked <= 150) return 15;
  if (runs_asked <= 300) return 20;
  if (runs_asked <= 500) return 25;
  if (runs_asked <= 1000) return 30;
  return 45;
}

int32_t bar_length_for_runs(int fill, int32_t* bar_x, int32_t* bar_y, uint32_t runs_asked) {
  *bar_x = 3;
  *bar_y = 13;
  con_goto_clear(3, 13);
  con_set_color(kColorCyan);
  const int32_t length = bar_length_for(runs_asked);
  for (int32_t i = 0; i < length; ++i) con_printf("%c", fill);
  con_set_color(kColorLightGray);
  return length;
}

bool progress_step_due(float next_step_at, uint32_t i, float runs_asked) {
  const long double left =
      static_cast<long double>(next_step_at) - static_cast<long double>(i) / runs_asked;
  return left < 0.00001;
}

uint32_t next_progress_step(float next_step_at, uint32_t from, float runs_asked, uint32_t limit) {
  if (from >= limit) return limit;
  // A guess within a replicate or two of the answer, then the exact test decides.
  const long double guess = (static_cast<long double>(next_step_at) - 0.00001L) * runs_asked;
  uint32_t i = from;
  if (guess >= static_cast<long double>(limit)) {
    i = limit;
  } else if (guess > static_cast<long double>(from)) {
    i = static_cast<uint32_t>(guess);
  }
  while (i > from && progress_step_due(next_step_at, i - 1, runs_asked)) --i;
  while (i < limit && !progress_step_due(next_step_at, i, runs_asked)) ++i;
  return i;
}
