#include "app/help_screen.h"

#include <cstring>

#include "app/exit_path.h"
#include "console/console.h"
#include "console/terminal.h"
#include "genotype/buffer.h"
#include "genotype/genotype_reader.h"

namespace {

constexpr int kScreenSaveBytes = 4096;  // 80 x 25 cells of character and attribute

// Each line is followed by "\r\n"; a line that holds a line feed of its own
// switches the next line to light blue, any other line back to white.
constexpr const char* kHelpLines[] = {
    "",
    "after the name of the program type the name(s) of input and then",
    "(if you need) name of output files. If the output file already",
    "exists the program will append its output to it.",
    "Example -",
    "\n\r",
    "%s dat [dat1] [dat2] [..etc..] outp\n\r",
    "",
    "Example of the input file -",
    "\n\r",
    "bc:1\n\raa:10\n\reg:25\n\rad:16\n\rbd:1",
};

// Nested double-line frames, 13 cells wide, the male and female signs side
// by side in the fifth line (printed as glyphs: the writer acts only on 7, 8,
// 10 and 13).
constexpr const char* kEmblem[] = {
    "\xC9\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xBB",
    "\xBA \xC9\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xBB \xBA",
    "\xBA \xBA \xC9\xCD\xCD\xCD\xBB \xBA \xBA",
    "\xBA \xBA \xC8\xCD\xCD\xCD\xBC \xBA \xBA",
    "\xBA \xBA  \x0B" "\x0C   \xBA \xBA",
    "\xBA \xC8\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xBC \xBA",
    "\xC8\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xBC",
};

// At most 26 characters each, to fit from column 55; the empty line ends
// the list.
constexpr const char* kCreditLines[] = {
    "hwmc - Hardy-Weinberg test",
    "of genotype proportions at",
    "one multi-allelic locus:",
    "chi-square, Selander's D,",
    "Monte Carlo permutations",
    "",
};

void wait_for_any_key() {
  // An extended key arrives as two codes: take the second one too.
  if (con_getch() == 0 && con_kbhit()) con_getch();
  // Whatever else was typed meanwhile is no answer to the questions that
  // follow. Keys from a pipe are answers and stay.
  terminal_flush_type_ahead();
}

}  // namespace

void show_help(int arg_count) {
  const char* name = program_name();

  Buffer<char> saved_screen;
  if (arg_count < 2) {
    if (!saved_screen.allocate(kScreenSaveBytes)) {
      con_printf("\r\n%s", kMemoryErrorText);
      exit_program(1);
    }
    // What the terminal showed before the program started cannot be read
    // back; the alternate screen keeps it and gives it back afterwards.
    terminal_alternate_screen(true);
    con_save_rect(1, 1, kScreenWidth, kScreenHeight, saved_screen.data);
    con_clear_screen();
  }

  for (const char* line : kHelpLines) {
    if (line[0] == '%') {
      con_printf(line, name);
    } else {
      con_printf("%s", line);
    }
    con_printf("\r\n");
    con_set_color(std::strchr(line, '\n') != nullptr ? kColorLightBlue : kColorWhite);
  }
  con_printf("\r\n");
  con_printf("\r\n");
  con_set_color(kColorWhite);
  con_printf("press any key. . .");
  wait_for_any_key();

  if (arg_count < 2) {
    con_restore_rect(1, 1, kScreenWidth, kScreenHeight, saved_screen.data);
    terminal_alternate_screen(false);
    con_goto(1, 25);
    saved_screen.reset();
    exit_program(1);
  }
}

void show_credits() {
  con_set_color(kAttrBlinkingWhite);
  for (int r = 0; r < 7; ++r) {
    con_goto(65, 5 + r);
    con_printf("%s", kEmblem[r]);
  }
  con_set_color(kColorWhite);
  for (int j = 0; kCreditLines[j][0] != '\0'; ++j) {
    con_goto(55, 17 + j);
    con_printf("%s", kCreditLines[j]);
  }
}
