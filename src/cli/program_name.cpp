#include "cli/program_name.h"

#include <cstring>

const char* program_name_of(const char* arg0) {
  if (arg0 == nullptr || *arg0 == '\0') return "hwmc";
  const char* slash = std::strrchr(arg0, '/');
  return slash != nullptr ? slash + 1 : arg0;
}
