// A command line as one line of text a reader can type again: the words
// joined by spaces, each word that a POSIX shell would split or expand
// quoted ("..." with \ before " \ $ `; '...' where the word holds a line
// break or other control character, which stays as it is).
#pragma once

#include <string>
#include <string_view>

std::string shell_word(std::string_view word);
std::string command_text(int argc, char** argv);
