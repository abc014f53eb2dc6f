// The closing lines of an orderly exit, for any program file: counts the run
// in the file at `program_path` (runcount), thanks the user in black on light
// grey when that worked (every tenth time with a hint on how to stop the
// counting), then clears the rest of the line in the attribute the screen
// had, and on the next line prints the marker text and erases it at once,
// leaving the cursor in column 1 of that empty line.
#pragma once

void show_closing_lines(const char* program_path);

// The closing lines on the program's own file.
void show_closing_lines_of_this_program();
