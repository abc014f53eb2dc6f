#include "app/closing_lines.h"

#include <string>

#include "cli/program_identity.h"
#include "console/console.h"
#include "runcount/run_counter.h"

void show_closing_lines(const char* program_path) {
  bool counted = false;
  const int32_t runs = count_run_in(program_path, counted);

  ConsoleInfo info;
  con_get_info(&info);
  const uint8_t saved_attribute = info.attribute;

  if (counted) {
    const char* name = program_name_of(program_path);
    con_set_attr(kAttrBlackOnGray);
    con_printf("\r\nThanks for running %s %ld times!", name, static_cast<long>(runs));
    if (runs % 10 == 0) con_printf(" (set \"read-only\" to supress counting)");
  }
  con_set_attr(saved_attribute);
  con_clear_eol();
  con_printf("\r\n");
  con_printf("000000000");
  con_printf("\r");
  con_clear_eol();
}

void show_closing_lines_of_this_program() {
  const std::string path = program_file_path();
  show_closing_lines(path.c_str());
}
