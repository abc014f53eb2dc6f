// The terminal backend: shows the console model on the process's terminal
// and turns the bytes typed into key events.
//
// terminal_open puts a terminal on standard input into raw mode and installs
// handlers so that every way out (terminal_close, exit, Ctrl-C, SIGTERM,
// SIGHUP, an uncaught exception) gives the terminal back in its normal state.
// Standard input that is not a terminal is read byte by byte as keys;
// standard output that is not a terminal gets no escape sequences, only the
// final screen as plain UTF-8 text at terminal_close.
#pragma once

void terminal_open();
// Last picture, cursor on the line below the program's cursor, normal modes,
// visible cursor, default colours. Safe to call more than once.
void terminal_close();
// Show the following output on the terminal's alternate screen (true), or
// leave it again (false): the user's own screen comes back as it was and the
// remaining output is written at the terminal's cursor, line by line.
void terminal_alternate_screen(bool on);
// Empty a terminal's type-ahead; does nothing when input is not a terminal.
void terminal_flush_type_ahead();
