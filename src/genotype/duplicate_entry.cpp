#include "app/exit_path.h"
#include "console/console.h"
#include "genotype/genotype_reader.h"

namespace {
constexpr int kWhite = 15;
constexpr int kLightBlue = 9;
constexpr int kLightRed = 12;
}  // namespace

void show_duplicate_entry(char c1, char c2, const char* path) {
  con_goto_clear(1, 21);
  con_set_color(kWhite);
  con_printf("The entry ");
  if (c1 == c2) {
    con_set_color(kLightBlue);
    con_printf("\"%c%c\"", c1, c2);
    con_set_color(kWhite);
    con_printf(" is encountered more than once,");
    con_printf("\n\rcheck input file ");
    con_set_color(kLightBlue);
    con_printf("\"%-s\"", path);
  } else {
    con_printf("\"%c%c\" (or \"%c%c\")", c1, c2, c2, c1);
    con_set_color(kLightBlue);
    con_printf(" is encountered more than once,");
    con_printf("\n\rcheck input file ");
    con_set_color(kWhite);
    con_printf("\"%-s\"", path);
  }
  // The triangles keep whichever colour the file name was shown in.
  con_goto_clear(1, 23);
  con_printf("%c%c%c ", 0x10, 0x10, 0x10);
  con_set_color(kLightRed);
  con_printf("\r\nexit");
  con_clear_eol();
}

void report_duplicate_entry(char c1, char c2, const char* path) {
  show_duplicate_entry(c1, c2, path);
  exit_program(1);
}
