// The screens around the file loop: the help text shown at start-up when no
// output file is named, and the emblem with the credit lines drawn over the
// last screen after the last input file.
//
// show_help with arg_count below 2 (no input file at all) shows the help on
// the terminal's alternate screen, gives the user's screen back after a key
// and ends the program through exit_program(1); with arg_count 2 it shows the
// help on the already cleared screen and returns after a key.
#pragma once

void show_help(int arg_count);
void show_credits();
