#include "app/exit_path.h"

#include <cstdlib>

#include "app/closing_lines.h"
#include "cli/program_identity.h"
#include "console/console.h"
#include "console/terminal.h"

namespace {
const char* g_arg0 = nullptr;
}  // namespace

void set_program_name(const char* arg0) { g_arg0 = arg0; }

const char* program_name() { return program_name_of(g_arg0); }

void show_error(const char* message) {
  con_set_color(kColorLightRed);
  con_goto_clear(10, 24);
  con_printf("%s", message);
}

void exit_program(int code) {
  show_closing_lines_of_this_program();
  terminal_close();
  std::exit(code);
}

void exit_at_once(int code) {
  terminal_close();
  std::exit(code);
}
