// Reads a Genepop file (see genepop_parse.h for the format) in one pass, in
// blocks, so that memory follows the tallies and not the file's size. A file
// that cannot be opened or read comes back as a status like any bad input.
#pragma once

#include "genepop/genepop_data.h"

GenepopRead read_genepop_file(const char* path);
