// The dialogue that asks for the number of Monte Carlo replicates. It goes on
// below the results screen's question, from the cursor.
#pragma once

#include <cstdint>
#include <optional>

// Prints the underlined "(Y)es or (N)ot  - select key" prompt and waits,
// without echo, for y or n in either case (wait_yes_no); returns 'y' or 'n'.
char prompt_yes_no();

// A typed entry read as a decimal number: optional white space, optional sign,
// at least one digit; whatever follows the digits is ignored. Nothing when the
// entry holds no number.
std::optional<int32_t> parse_run_entry(const char* text);

// 3200 on y; after n reads entries of at most five characters until one holds
// a number from 0 to 65000. Over 65000 shows a message and reads again; an
// entry without a number, or with a negative one, is erased and read again.
// 0 is returned after "exit" is shown: the program is to end.
int32_t ask_runs();
