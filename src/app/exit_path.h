// The ways out of the program, used by every phase.
//
// show_error prints a one-line message in light red from column 10 of row 24.
// exit_program counts the run, shows the closing lines, gives the terminal
// back and ends the process. exit_at_once skips the counting and the closing
// lines (the two failures to open a file end that way).
#pragma once

void show_error(const char* message);
[[noreturn]] void exit_program(int code);
[[noreturn]] void exit_at_once(int code);

// The name the program was started by: args[0] after its last '/', "hwmc"
// when there is none.
void set_program_name(const char* arg0);
const char* program_name();
