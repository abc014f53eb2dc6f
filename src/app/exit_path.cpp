#include "app/exit_path.h"

#include <cstdlib>
#include <cstring>

#include "console/console.h"
#include "console/terminal.h"
#include "runcount/exit_banner.h"

namespace {
int g_arg_count = 0;
char** g_args = nullptr;

constexpr char kMemoryAbort[] = "memory allocation error - program abort";

// The out-of-memory pair puts its first line on row 25 and leaves the cursor
// after its second, on row 24. The closing lines start after the first line
// instead, so that neither is overwritten or cleared.
void step_below_memory_message() {
  if (con_where_y() >= kScreenHeight) return;
  const Cell* last_row = con_model().cells[kScreenHeight - 1];
  const int length = static_cast<int>(sizeof kMemoryAbort - 1);
  for (int i = 0; i < length; ++i) {
    if (last_row[i].ch != static_cast<uint8_t>(kMemoryAbort[i])) return;
  }
  con_goto(length + 1, kScreenHeight);
}
}  // namespace

void set_program_args(int arg_count, char** args) {
  g_arg_count = arg_count;
  g_args = args;
}
int program_arg_count() { return g_arg_count; }
char** program_args() { return g_args; }

const char* program_name() {
  if (g_arg_count < 1 || g_args == nullptr || g_args[0] == nullptr) return "hwmc";
  const char* slash = std::strrchr(g_args[0], '/');
  return slash ? slash + 1 : g_args[0];
}

void show_error(const char* message) {
  con_set_color(12);
  con_goto_clear(10, 24);
  con_printf("%s", message);
}

void exit_program(int code) {
  step_below_memory_message();
  exit_banner();
  terminal_close();
  std::exit(code);
}

void exit_at_once(int code) {
  terminal_close();
  std::exit(code);
}
