#include "cli/program_version.h"

#ifndef HWMC_VERSION
#define HWMC_VERSION "0"
#endif

const char* program_version() { return HWMC_VERSION; }
