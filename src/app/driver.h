// The program: start-up, the file loop with its per-file sequence, credits
// and the exit. Never returns normally.
#pragma once

int run_program(int arg_count, char** args);
