// Count files as a batch input: the whole file is one unit, identified by
// the file's name.
#pragma once

#include "batch/unit_source.h"

const InputKind& count_file_input();
