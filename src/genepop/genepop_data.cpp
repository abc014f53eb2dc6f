#include "genepop/genepop_data.h"

std::string describe_genepop_failure(const GenepopRead& r) {
  if (r.line == 0) return r.reason;
  return "line " + std::to_string(r.line) + ": " + r.reason;
}
