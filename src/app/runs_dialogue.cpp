#include "app/runs_dialogue.h"

#include "app/results_screen.h"
#include "console/console.h"
#include "montecarlo/run_limit.h"

namespace {

constexpr int32_t kDefaultRuns = 3200;

bool is_c_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

char prompt_yes_no() {
  con_printf("(Y)es or (N)ot  - select key");
  con_clear_eol();
  con_printf("\n\r");
  for (int i = 0; i < 29; ++i) con_putch(kGlyphBoxHorizontal);
  return wait_yes_no();
}

std::optional<int32_t> parse_run_entry(const char* text) {
  const char* p = text;
  while (is_c_space(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (*p < '0' || *p > '9') return std::nullopt;
  // Saturates instead of overflowing; the editor lets no more than five
  // characters through anyway.
  int64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (value < INT32_MAX) value = value * 10 + (*p - '0');
  }
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<int32_t>(negative ? -value : value);
}

int32_t ask_runs() {
  con_printf("\n\rnumber of runs is %-d:\n\r", kDefaultRuns);
  if (prompt_yes_no() == 'y') return kDefaultRuns;

  con_printf("\n\renter number of runs -\x10 ");
  const int entry_x = con_where_x();
  const int entry_y = con_where_y();
  con_clear_eol();
  bool over_limit_shown = false;
  int message_row = 0;
  for (;;) {
    char line[8] = {6};
    const std::optional<int32_t> runs = parse_run_entry(con_read_line(line));
    // A negative count is no count: taken as unsigned it would mean a run of
    // some four billion replicates.
    if (!runs || *runs < 0) {
      con_goto_clear(entry_x, entry_y);
      continue;
    }
    if (*runs > kMaxRuns) {
      con_printf("\r\ntoo long: maximal number is 65000, please, enter new");
      message_row = con_where_y();
      over_limit_shown = true;
      con_goto_clear(entry_x, entry_y);
      continue;
    }
    if (over_limit_shown) con_goto_clear(1, message_row);
    if (*runs == 0) {
      con_printf("\r\nexit");
      con_clear_eol();
    }
    return *runs;
  }
}
