#include "cli/program_identity.h"

#include <cstring>

#ifndef HWMC_VERSION
#define HWMC_VERSION "0"
#endif

const char* program_name_of(const char* arg0) {
  if (arg0 == nullptr || *arg0 == '\0') return "hwmc";
  const char* slash = std::strrchr(arg0, '/');
  return slash != nullptr ? slash + 1 : arg0;
}

const char* program_version() { return HWMC_VERSION; }
