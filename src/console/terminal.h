// The terminal backend: shows the console model on the process's terminal
// and turns the bytes typed into key events.
//
// terminal_open puts a terminal on standard input into raw mode and installs
// handlers so that every way out (terminal_close, exit, Ctrl-C, SIGTERM,
// SIGHUP, SIGQUIT, an uncaught exception) gives the terminal back in its
// normal state; a fatal signal ends the process with 128 + the signal number.
// A stop (SIGTSTP from a shell or kill) gives the terminal back the same way,
// with the cursor below the screen, and stops; going on (SIGCONT) enters the
// program's modes again and draws the whole screen anew at the next console
// call or key poll, so work in progress simply continues. Ctrl-Z itself stays
// a key.
// The first picture clears the terminal; the 80 x 25 screen sits at its
// top-left, and a smaller terminal (said so in one line on standard error,
// at open and again at close) shows only the cells that fit.
// Standard input that is not a terminal is read byte by byte as keys (end of
// file ends the key input); standard output that is not a terminal gets no
// escape sequences, only the final screen as plain UTF-8 text at
// terminal_close, and then the alternate screen calls do nothing.
#pragma once

void terminal_open();
// Last picture, cursor on the line below the program's cursor, normal modes,
// visible cursor, default colours. Safe to call more than once.
void terminal_close();
// Show the following output on the terminal's alternate screen (true), or
// leave it again (false): the user's own screen comes back as it was and the
// remaining output is written at the terminal's cursor, line by line (the
// model is no longer drawn, gotos do not show, terminal_close only resets
// the modes).
void terminal_alternate_screen(bool on);
// Empty a terminal's type-ahead; does nothing when input is not a terminal.
void terminal_flush_type_ahead();
