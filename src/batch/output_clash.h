// Refusing a run whose outputs would land on its inputs or on each other:
// every file an option names as an output (option table: names_output),
// standard output when it is a regular file, against the input files, the
// files options name as inputs (names_input), the index beside each input,
// and the outputs named before it. Called before anything is opened for
// writing.
#pragma once

#include <string>
#include <vector>

#include "batch/diagnostics.h"
#include "cli/command_line.h"

// False after "PROGRAM: OUTPUT: the file of --X is also ...; nothing was
// written".
bool outputs_clear_of_inputs(const Diagnostics& diagnostics, const std::vector<OptionFile>& outputs,
                             const std::vector<OptionFile>& named_inputs,
                             const std::vector<std::string>& inputs);
