#include "app/exit_path.h"

#include <cstdlib>
#include <cstring>

#include "console/console.h"
#include "console/terminal.h"
#include "genotype/genotype_reader.h"
#include "runcount/exit_banner.h"

namespace {
const char* g_arg0 = nullptr;

// The out-of-memory pair puts its first line on row 25 and leaves the cursor
// after its second, on row 24. The closing lines start after the first line
// instead, so that neither is overwritten or cleared.
void step_below_memory_message() {
  if (con_where_y() >= kScreenHeight) return;
  const Cell* last_row = con_model().cells[kScreenHeight - 1];
  const int length = static_cast<int>(sizeof kMemoryErrorText - 1);
  for (int i = 0; i < length; ++i) {
    if (last_row[i].ch != static_cast<uint8_t>(kMemoryErrorText[i])) return;
  }
  con_goto(length + 1, kScreenHeight);
}
}  // namespace

void set_program_name(const char* arg0) { g_arg0 = arg0; }

const char* program_name() {
  if (g_arg0 == nullptr) return "hwmc";
  const char* slash = std::strrchr(g_arg0, '/');
  return slash ? slash + 1 : g_arg0;
}

void show_error(const char* message) {
  con_set_color(kColorLightRed);
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
